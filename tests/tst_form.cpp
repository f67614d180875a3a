// The main window form as uic builds it: the window, the page stack, the widgets the
// program's code reaches by name and class, the stacking on the INPUTS page and the
// pictures it refers to. Places, fonts and style rules are the form's own business and
// show in the screenshots.
#include "ui_mainwindow.h"

#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <map>

namespace {

// Bottom to top: each input bar lies on its white track.
const QStringList page1Stacking{"lbMain1", "lbAdc0",  "lbAdc1", "lbAdc2",  "cbClutch", "lbDzL1",
                                "lbDzR1",  "lbDzL2",  "lbDzR2", "lbDzL0",  "lbDzR0",   "lbAdcB0",
                                "pgAdc0",  "lbAdcB1", "pgAdc1", "lbAdcB2", "pgAdc2"};

const std::map<QString, QSize> pictureSizes{
    {":/img/head.png", {2000, 131}},   {":/img/logo.png", {177, 31}},
    {":/img/vexo.png", {31, 31}},      {":/img/close.png", {32, 32}},
    {":/img/closeh.png", {32, 32}},    {":/img/back.png", {2303, 1479}},
    {":/img/back2.png", {2303, 1479}}, {":/img/arrow.png", {24, 24}},
    {":/img/about.png", {800, 250}},   {":/img/min.png", {32, 32}},
};

} // namespace

class TestForm : public QObject {
    Q_OBJECT

    QMainWindow* window = nullptr;
    Ui::MainWindow ui;

private slots:
    void init() {
        window = new QMainWindow;
        ui.setupUi(window);
    }
    void cleanup() { delete window; }

    void windowAndStack() {
        QCOMPARE(window->objectName(), "MainWindow");
        QCOMPARE(window->windowTitle(), "Vexo Setting");
        QCOMPARE(window->size(), QSize(900, 500));
        QCOMPARE(window->minimumSize(), QSize(900, 500));
        QCOMPARE(window->maximumSize(), QSize(900, 500));
        QCOMPARE(window->sizeIncrement(), QSize(0, 0));
        QCOMPARE(window->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(window->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(window->styleSheet(),
                 "QMainWindow#MainWindow {\n  background-color: rgb(26,25,25);\n}");
        QCOMPARE(window->centralWidget(), ui.centralwidget);
        QCOMPARE(ui.centralwidget->objectName(), "centralwidget");
        QCOMPARE(ui.centralwidget->metaObject()->className(), "QWidget");
        QVERIFY(ui.centralwidget->styleSheet().isEmpty());

        QCOMPARE(ui.stackedWidget->count(), 5);
        for (int i = 0; i < 5; ++i) {
            QWidget* page = ui.stackedWidget->widget(i);
            QCOMPARE(page->objectName(), QString("page%1").arg(i + 1));
            QCOMPARE(page->metaObject()->className(), "QWidget");
        }
        QCOMPARE(ui.stackedWidget->currentIndex(), 0);
        QCOMPARE(ui.stackedWidget->currentWidget(), ui.page1);
    }

    // The promoted widgets are the program's own classes, and the INPUTS page stacks its
    // children bottom to top so that each input bar lies on its white track.
    void classesAndStacking() {
        for (const char* tag : {"lbDzL0", "lbDzR0", "lbDzL1", "lbDzR1", "lbDzL2", "lbDzR2"})
            QCOMPARE(window->findChild<QWidget*>(tag)->metaObject()->className(), "VexoSlider");
        for (const char* curve : {"ctAdc0", "ctAdc1", "ctAdc2"})
            QCOMPARE(window->findChild<QWidget*>(curve)->metaObject()->className(), "VexoAxis");
        QStringList stacking;
        for (QObject* child : ui.page1->children())
            if (child->isWidgetType())
                stacking << child->objectName();
        QCOMPARE(stacking, page1Stacking);
    }

    // Every picture a style sheet names is compiled in at its stored size; so is min.png.
    void pictures() {
        for (const auto& [path, size] : pictureSizes)
            QVERIFY2(QImage(path).size() == size, qPrintable(path));

        static const QRegularExpression url("url\\(([^)]*)\\)");
        QStringList used;
        for (QWidget* w : window->findChildren<QWidget*>())
            for (const auto& m : url.globalMatch(w->styleSheet()))
                if (!used.contains(m.captured(1)))
                    used << m.captured(1);
        used.sort();
        QCOMPARE(used, QStringList({":/img/about.png", ":/img/arrow.png", ":/img/back.png",
                                    ":/img/close.png", ":/img/closeh.png", ":/img/head.png",
                                    ":/img/logo.png", ":/img/vexo.png"}));
    }
};

QTEST_MAIN(TestForm)
#include "tst_form.moc"
