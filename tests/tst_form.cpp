// The main window form as uic builds it, as far as the program's code relies on it: the
// fixed window and its page stack, the promoted classes, the INPUTS page's stacking and the
// pictures. Places, fonts and style rules are the form's own business and show in the
// screenshots.
#include "ui_mainwindow.h"

#include <QImage>
#include <QRegularExpression>
#include <QTest>

class TestForm : public QObject {
    Q_OBJECT

    QMainWindow window;
    Ui::MainWindow ui;

private slots:
    void initTestCase() { ui.setupUi(&window); }

    void windowAndStack() {
        QCOMPARE(window.windowTitle(), "Vexo Setting");
        QCOMPARE(window.minimumSize(), QSize(900, 500));
        QCOMPARE(window.maximumSize(), QSize(900, 500));
        QCOMPARE(ui.stackedWidget->count(), 5);
        QCOMPARE(ui.stackedWidget->currentWidget(), ui.page1);
    }

    // The deadzone tags and the curve editors are the program's own classes.
    void promotedClasses() {
        for (const char* name : {"lbDzL0", "lbDzR0", "lbDzL1", "lbDzR1", "lbDzL2", "lbDzR2",
                                 "ctAdc0", "ctAdc1", "ctAdc2"})
            QCOMPARE(window.findChild<QWidget*>(name)->metaObject()->className(),
                     name[0] == 'l' ? "VexoSlider" : "VexoAxis");
    }

    // Bottom to top: each input bar lies on its white track.
    void inputsPageStacking() {
        QStringList stacking;
        for (QObject* child : ui.page1->children())
            if (child->isWidgetType())
                stacking << child->objectName();
        QCOMPARE(stacking,
                 QStringList({"lbMain1", "lbAdc0", "lbAdc1", "lbAdc2", "cbClutch", "lbDzL1",
                              "lbDzR1", "lbDzL2", "lbDzR2", "lbDzL0", "lbDzR0", "lbAdcB0", "pgAdc0",
                              "lbAdcB1", "pgAdc1", "lbAdcB2", "pgAdc2"}));
    }

    // The style sheets name these pictures, and no others.
    void namedPictures() {
        static const QRegularExpression url("url\\(([^)]*)\\)");
        QStringList named;
        for (QWidget* w : window.findChildren<QWidget*>())
            for (const auto& m : url.globalMatch(w->styleSheet()))
                named << m.captured(1);
        named.removeDuplicates();
        named.sort();
        QCOMPARE(named, QStringList({":/img/about.png", ":/img/arrow.png", ":/img/back.png",
                                     ":/img/close.png", ":/img/closeh.png", ":/img/head.png",
                                     ":/img/logo.png", ":/img/vexo.png"}));
    }

    // Each picture is compiled in at its stored size.
    void pictures_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        const std::pair<const char*, QSize> pictures[] = {
            {"about", {800, 250}},   {"arrow", {24, 24}}, {"back", {2303, 1479}},
            {"back2", {2303, 1479}}, {"close", {32, 32}}, {"closeh", {32, 32}},
            {"head", {2000, 131}},   {"logo", {177, 31}}, {"min", {32, 32}},
            {"vexo", {31, 31}}};
        for (const auto& [name, size] : pictures)
            QTest::newRow(name) << QString(":/img/%1.png").arg(name) << size;
    }

    void pictures() {
        QFETCH(QString, path);
        QTEST(QImage(path).size(), "size");
    }
};

QTEST_MAIN(TestForm)
#include "tst_form.moc"
