// The main window form as uic builds it: every widget's class, place, texts, states,
// fonts and style rules, the stacking on the INPUTS page and the pictures it refers to.
#include "ui_mainwindow.h"

#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <map>
#include <set>

namespace {

enum class Font { None, Title, Icon, Nav, Path, UpgradeBar };

// A style sheet either quoted whole (compared byte for byte) or given rule by rule.
struct Css {
    const char* text;
    bool exact;
};

// Rules, compared as selector -> set of declarations with the whitespace squeezed out.
constexpr Css NAV{"QPushButton { color: white; border: 1px solid rgb(112, 112, 112);"
                  "  background: rgba(0, 0, 0, 0); font: bold 15px \"Arial\" }"
                  "QPushButton:checked { background: qlineargradient(spread:pad, x1:0, y1:0,"
                  "  x2:1, y2:0, stop:0 rgba(17, 146, 207, 255), stop:1 rgba(9, 74, 105, 255)) }"
                  "QPushButton:hover { color: lightgray }",
                  false};
constexpr Css CLOSE{"QPushButton { border-image: url(:/img/close.png) }"
                    "QPushButton:hover { border-image: url(:/img/closeh.png) }",
                    false};
constexpr Css STATUS{
    "QPushButton { border-radius: 12px; background: red; border: 2px solid white }", false};
constexpr Css BAR{"QProgressBar { border-radius: 2px; background: white; border: 1px solid white }"
                  "QProgressBar::chunk { background: rgb(0, 117, 190); border-radius: 2px }",
                  false};
constexpr Css VALUE{"QLabel { font: bold 14px \"Arial\"; color: white }", false};
constexpr Css CHECK{"QCheckBox { font: 14px \"Arial\"; color: white }"
                    "QCheckBox::indicator { width: 10px; height: 10px; border-radius: 6px }"
                    "QCheckBox::indicator:checked { background: rgb(17, 146, 207);"
                    "  border: 2px solid white }"
                    "QCheckBox::indicator:unchecked { background: white; border: 2px solid white }",
                    false};
constexpr Css TRACK{"QLabel { border-radius: 2px; background: white; border: 1px solid white }",
                    false};
constexpr Css ACTION{"QPushButton { color: white; background: rgb(0, 117, 190);"
                     "  border-radius: 10px; font: bold 14px \"Arial\" }"
                     "QPushButton:checked { color: rgb(0, 117, 190); background: white }"
                     "QPushButton:hover { color: white; background: rgb(30, 177, 255) }",
                     false};
constexpr Css COLUMN{
    "QLabel { color: white; background: rgba(0, 0, 0, 0); font: bold 15px \"Arial\" }", false};
constexpr Css COMBO{"QComboBox { color: rgb(0, 117, 190); background: white; border-radius: 10px;"
                    "  font: bold 14px \"Arial\" }"
                    "QComboBox:hover { border: 1px }"
                    "QComboBox::drop-down { background: transparent; border: none }"
                    "QComboBox::down-arrow { image: url(:/img/arrow.png); margin-right: 10px;"
                    "  width: 24px; height: 10px }"
                    "QWidget:item { color: white; background: black }"
                    "QWidget:item:selected { color: white; background: rgb(0, 117, 190) }",
                    false};
constexpr Css PATH{"QLineEdit { color: white; border-radius: 2px; border: 1px solid lightgray }",
                   false};
constexpr Css UPGRADE_BAR{
    "QProgressBar { border-radius: 2px; background: white; border: 1px solid lightgray }"
    "QProgressBar::chunk { background: rgb(0, 117, 190); border-radius: 2px;"
    "  border: 1px solid white }",
    false};
constexpr Css DEVICE_LABEL{"QLabel { color: white; font: 14px \"Arial\" }", false};
constexpr Css WEB{"QLabel { color: white; font: bold 14px \"Arial\" }", false};
constexpr Css HEAD{"border-image: url(:/img/head.png)", true};
constexpr Css TITLE{"color: white;\nfont-size: 20px;\nfont-weight: bold;", true};
constexpr Css LOGO{"border-image: url(:/img/logo.png)", true};
constexpr Css LINE{"background: rgb(112,112,112)", true};
constexpr Css BRAND{"border-image: url(:/img/vexo.png)", true};
constexpr Css STACK{"QWidget {background-color: rgb(26,25,25);}", true};
constexpr Css BACK{"border-image: url(:/img/back.png)", true};
constexpr Css ABOUT{"border-image: url(:/img/about.png);", true};
constexpr Css VERSION{"color: white;\nfont-size: 14px;", true};
constexpr Css TAG{"QLabel {\n  color: white;\n}", true};
constexpr Css SMALL{"color:white;\nfont-size:14px;", true};
constexpr Css NONE{"", true};

struct Row {
    const char* name;
    const char* className;
    const char* parent;
    QRect geometry;
    Font font;
    Css css;
    const char* text; // nullptr: the widget has no text of its own
    bool centred;
};

// Creation order; each parent's children must come out in this order (page1: see below).
// clang-format off
const Row rows[] = {
    {"lbSplit",       "QLabel",         "centralwidget", {0, 0, 901, 71},      Font::None,  HEAD,   "",         false},
    {"lbHead",        "QLabel",         "centralwidget", {360, 10, 301, 31},   Font::Title, TITLE,  "VEXO PX7", true},
    {"lbIcon",        "QLabel",         "centralwidget", {170, 8, 177, 31},    Font::Icon,  LOGO,   "",         false},
    {"lbLine",        "QLabel",         "centralwidget", {140, 80, 751, 1},    Font::None,  LINE,   "",         false},
    {"pbS1",          "QPushButton",    "centralwidget", {0, 80, 131, 81},     Font::Nav,   NAV,    "INPUTS",   false},
    {"pbS2",          "QPushButton",    "centralwidget", {0, 164, 131, 81},    Font::Nav,   NAV,    "CALIBRATION", false},
    {"pbS4",          "QPushButton",    "centralwidget", {0, 332, 131, 81},    Font::Nav,   NAV,    "DEVICE",   false},
    {"pbS3",          "QPushButton",    "centralwidget", {0, 248, 131, 81},    Font::Nav,   NAV,    "PROFILES", false},
    {"pbS5",          "QPushButton",    "centralwidget", {0, 416, 131, 81},    Font::Nav,   NAV,    "ABOUT",    false},
    {"pbClose",       "QPushButton",    "centralwidget", {860, 10, 24, 24},    Font::None,  CLOSE,  "",         false},
    {"pbStatus",      "QPushButton",    "centralwidget", {800, 10, 26, 25},    Font::None,  STATUS, "",         false},
    {"label",         "QLabel",         "centralwidget", {130, 10, 31, 31},    Font::None,  BRAND,  "",         false},
    {"stackedWidget", "QStackedWidget", "centralwidget", {140, 90, 751, 411},  Font::None,  STACK,  nullptr,    false},

    {"lbMain1",  "QLabel",       "page1", {40, 0, 640, 361},    Font::None, BACK,  "",              false},
    {"pgAdc1",   "QProgressBar", "page1", {260, 365, 200, 12},  Font::None, BAR,   nullptr,         false},
    {"pgAdc2",   "QProgressBar", "page1", {483, 365, 200, 12},  Font::None, BAR,   nullptr,         false},
    {"pgAdc0",   "QProgressBar", "page1", {38, 365, 200, 12},   Font::None, BAR,   nullptr,         false},
    {"lbAdc0",   "QLabel",       "page1", {100, 345, 81, 20},   Font::None, VALUE, "20000",         true},
    {"lbAdc1",   "QLabel",       "page1", {320, 345, 81, 20},   Font::None, VALUE, "20000",         true},
    {"lbAdc2",   "QLabel",       "page1", {540, 345, 81, 20},   Font::None, VALUE, "20000",         true},
    {"cbClutch", "QCheckBox",    "page1", {60, 3, 151, 21},     Font::Nav,  CHECK, "ENABLE CLUTCH", false},
    {"lbDzL1",   "VexoSlider",   "page1", {260, 380, 32, 20},   Font::None, TAG,   "0%",            true},
    {"lbDzR1",   "VexoSlider",   "page1", {428, 380, 32, 20},   Font::None, TAG,   "0%",            true},
    {"lbDzL2",   "VexoSlider",   "page1", {482, 380, 32, 20},   Font::None, TAG,   "0%",            true},
    {"lbDzR2",   "VexoSlider",   "page1", {650, 380, 32, 20},   Font::None, TAG,   "0%",            true},
    {"lbDzL0",   "VexoSlider",   "page1", {38, 380, 32, 20},    Font::None, TAG,   "0%",            true},
    {"lbDzR0",   "VexoSlider",   "page1", {206, 380, 32, 20},   Font::None, TAG,   "0%",            true},
    {"lbAdcB0",  "QLabel",       "page1", {38, 365, 200, 12},   Font::None, TRACK, "",              false},
    {"lbAdcB1",  "QLabel",       "page1", {260, 365, 200, 12},  Font::None, TRACK, "",              false},
    {"lbAdcB2",  "QLabel",       "page1", {483, 365, 200, 12},  Font::None, TRACK, "",              false},

    {"lbMain2", "QLabel",       "page2", {40, 0, 640, 361},   Font::None, BACK,   "",          false},
    {"pgCal1",  "QProgressBar", "page2", {440, 30, 12, 300},  Font::None, BAR,    nullptr,     false},
    {"pgCal2",  "QProgressBar", "page2", {655, 30, 12, 300},  Font::None, BAR,    nullptr,     false},
    {"pbSave1", "QPushButton",  "page2", {310, 370, 111, 21}, Font::Nav,  ACTION, "CALIBRATE", false},
    {"pbSave2", "QPushButton",  "page2", {540, 370, 111, 21}, Font::Nav,  ACTION, "CALIBRATE", false},
    {"pbSave0", "QPushButton",  "page2", {80, 370, 111, 21},  Font::Nav,  ACTION, "CALIBRATE", false},
    {"pgCal0",  "QProgressBar", "page2", {220, 30, 12, 300},  Font::None, BAR,    nullptr,     false},

    {"ctAdc0",     "VexoAxis",    "page3", {30, 40, 220, 231},   Font::None, NONE,   nullptr,       false},
    {"ctAdc1",     "VexoAxis",    "page3", {270, 40, 220, 231},  Font::None, NONE,   nullptr,       false},
    {"ctAdc2",     "VexoAxis",    "page3", {510, 40, 220, 231},  Font::None, NONE,   nullptr,       false},
    {"label_4",    "QLabel",      "page3", {510, 0, 221, 31},    Font::None, COLUMN, "THROTTLE",    true},
    {"label_5",    "QLabel",      "page3", {270, 0, 221, 31},    Font::None, COLUMN, "BRAKE",       true},
    {"label_6",    "QLabel",      "page3", {30, 0, 221, 31},     Font::None, COLUMN, "CLUTCH",      true},
    {"cbPro0",     "QComboBox",   "page3", {30, 275, 221, 25},   Font::None, COMBO,  "NEW PROFILE", false},
    {"cbPro1",     "QComboBox",   "page3", {270, 275, 221, 25},  Font::Nav,  COMBO,  "NEW PROFILE", false},
    {"cbPro2",     "QComboBox",   "page3", {510, 275, 221, 25},  Font::None, COMBO,  "NEW PROFILE", false},
    {"pbSavePro0", "QPushButton", "page3", {30, 310, 221, 21},   Font::Nav,  ACTION, "SAVE ",       false},
    {"pbDelPro1",  "QPushButton", "page3", {270, 340, 221, 21},  Font::Nav,  ACTION, "REMOVE",      false},
    {"pbSavePro1", "QPushButton", "page3", {270, 310, 221, 21},  Font::Nav,  ACTION, "SAVE",        false},
    {"pbSavePro2", "QPushButton", "page3", {510, 310, 221, 21},  Font::Nav,  ACTION, "SAVE",        false},
    {"pbDelPro2",  "QPushButton", "page3", {510, 340, 221, 21},  Font::Nav,  ACTION, "REMOVE",      false},
    {"pbDelPro0",  "QPushButton", "page3", {30, 340, 221, 21},   Font::Nav,  ACTION, "REMOVE",      false},
    {"pbImport",   "QPushButton", "page3", {130, 370, 221, 21},  Font::Nav,  ACTION, "IMPORT",      false},
    {"pbExport",   "QPushButton", "page3", {410, 370, 221, 21},  Font::Nav,  ACTION, "EXPORT",      false},

    {"lePath",        "QLineEdit",    "page4", {200, 20, 421, 21},  Font::Path,       PATH,         "",                 false},
    {"lbCurMd5",      "QLabel",       "page4", {250, 180, 361, 21}, Font::Title,      SMALL,        "",                 true},
    {"pbUpgrade",     "QPushButton",  "page4", {470, 60, 191, 31},  Font::Nav,        NAV,          "MANUAL UPDATE",    false},
    {"pgUpgrade",     "QProgressBar", "page4", {200, 110, 461, 21}, Font::UpgradeBar, UPGRADE_BAR,  nullptr,            false},
    {"lbUpgrade",     "QLabel",       "page4", {50, 110, 141, 21},  Font::Nav,        DEVICE_LABEL, "UPLOADING...",     true},
    {"pbAutoUpgrade", "QPushButton",  "page4", {200, 60, 191, 31},  Font::Nav,        NAV,          "CHECK UPDATE",     false},
    {"label_7",       "QLabel",       "page4", {50, 20, 141, 21},   Font::Nav,        DEVICE_LABEL, "FIRMWARE",         true},
    {"pbClearFlash",  "QPushButton",  "page4", {50, 280, 191, 31},  Font::Nav,        NAV,          "CLEAR FLASH DATA", false},
    {"lbCurVersion",  "QLabel",       "page4", {250, 370, 361, 21}, Font::Title,      SMALL,        "",                 true},
    {"pbPath",        "QPushButton",  "page4", {630, 20, 31, 21},   Font::Nav,        NAV,          "...",              false},

    {"label_3",   "QLabel", "page5", {180, 240, 401, 20}, Font::Nav,   WEB,     "www.vexo-racing.com", true},
    {"label_2",   "QLabel", "page5", {180, 100, 400, 125}, Font::None, ABOUT,   "",                    false},
    {"lbVersion", "QLabel", "page5", {380, 380, 371, 21}, Font::Title, VERSION, "",                    false},
};
// clang-format on

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

// "sel { a: b; c: d }" -> {sel: {"a:b", "c:d"}}; a sheet without braces is one anonymous rule.
std::map<QString, std::set<QString>> rules(const QString& sheet) {
    static const QRegularExpression space("\\s+");
    static const QRegularExpression padding("\\s*([,():;{}])\\s*");
    const QString css = sheet.simplified().replace(padding, "\\1");
    std::map<QString, std::set<QString>> out;
    const QStringList blocks =
        css.contains('{') ? css.split('}', Qt::SkipEmptyParts) : QStringList{'{' + css};
    for (const QString& block : blocks) {
        const int brace = block.indexOf('{');
        auto& decls = out[block.left(brace).replace(space, " ")];
        for (const QString& decl : block.mid(brace + 1).split(';', Qt::SkipEmptyParts))
            decls.insert(decl);
    }
    return out;
}

QString describe(const std::map<QString, std::set<QString>>& r) {
    QStringList out;
    for (const auto& [selector, decls] : r)
        out << selector + '{' + QStringList(decls.begin(), decls.end()).join(';') + '}';
    return out.join(' ');
}

} // namespace

// Style sheet fonts replace a widget's font once it is polished, which setupUi already
// does for some widgets; so the form's own fonts are taken as they are set.
class FontRecorder : public QObject {
public:
    std::map<QString, QFont> fonts;
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::FontChange && object->isWidgetType())
            fonts.emplace(object->objectName(), static_cast<QWidget*>(object)->font());
        return false;
    }
};

class TestForm : public QObject {
    Q_OBJECT

    QMainWindow* window = nullptr;
    Ui::MainWindow ui;
    FontRecorder fontRecorder;

    QWidget* widget(const char* name) {
        auto* w = window->findChild<QWidget*>(name);
        if (!w)
            qFatal("form has no widget %s", name);
        return w;
    }

private slots:
    void init() {
        window = new QMainWindow;
        fontRecorder.fonts.clear();
        qApp->installEventFilter(&fontRecorder);
        ui.setupUi(window);
        qApp->removeEventFilter(&fontRecorder);
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

    // Class, parent, geometry and text of every widget; every parent holds exactly its
    // rows' widgets, in creation order (page1 in its stacking order).
    void widgetTree() {
        std::map<QString, QStringList> children;
        for (const Row& row : rows) {
            QWidget* w = widget(row.name);
            const QString name = row.name;
            QVERIFY2(w->metaObject()->className() == QByteArray(row.className), row.name);
            QVERIFY2(w->parentWidget() && w->parentWidget()->objectName() == row.parent, row.name);
            QVERIFY2(w->geometry() == row.geometry, row.name);
            children[row.parent] << name;

            const QVariant text = w->property(qobject_cast<QComboBox*>(w) ? "currentText" : "text");
            if (row.text)
                QVERIFY2(text.typeId() == QMetaType::QString && text.toString() == row.text,
                         row.name);

            const QVariant alignment = w->property("alignment");
            if (row.centred)
                QVERIFY2(alignment.value<Qt::Alignment>() == Qt::AlignCenter, row.name);
            else if (alignment.isValid())
                QVERIFY2(alignment.value<Qt::Alignment>() != Qt::AlignCenter, row.name);
        }
        children["page1"] = page1Stacking;
        for (const auto& [parent, expected] : children) {
            QStringList actual;
            for (QObject* child : widget(parent.toLatin1())->children())
                if (child->isWidgetType())
                    actual << child->objectName();
            QCOMPARE(actual, expected);
        }
    }

    // Each style sheet has exactly its rules; quoted sheets are taken byte for byte.
    void styleSheets() {
        for (const Row& row : rows) {
            const QString sheet = widget(row.name)->styleSheet();
            if (row.css.exact)
                QVERIFY2(sheet == row.css.text, row.name);
            const auto actual = rules(sheet), expected = rules(row.css.text);
            QVERIFY2(actual == expected,
                     qPrintable(QString("%1: %2").arg(row.name, describe(actual))));
        }
    }

    void fonts() {
        for (const Row& row : rows) {
            QWidget* w = widget(row.name);
            QVERIFY2(w->testAttribute(Qt::WA_SetFont) == (row.font != Font::None), row.name);
            if (row.font == Font::None)
                continue;
            QVERIFY2(fontRecorder.fonts.count(row.name), row.name);
            const QFont f = fontRecorder.fonts.at(row.name);
            const auto has = [&f](QFont::ResolveProperties p) {
                return (f.resolveMask() & p) != 0;
            };
            switch (row.font) {
            case Font::None:
                break;
            case Font::Title:
                QVERIFY2(f.weight() == QFont::Bold && !has(QFont::FamiliesResolved) &&
                             !has(QFont::SizeResolved),
                         row.name);
                break;
            case Font::Icon:
                QVERIFY2(f.styleStrategy() == QFont::PreferDefault &&
                             has(QFont::StyleStrategyResolved) && !has(QFont::WeightResolved) &&
                             !has(QFont::FamiliesResolved) && !has(QFont::SizeResolved),
                         row.name);
                break;
            case Font::Nav:
                QVERIFY2(f.families() == QStringList{"Arial"} && f.weight() == QFont::Bold &&
                             !has(QFont::SizeResolved),
                         row.name);
                break;
            case Font::Path:
            case Font::UpgradeBar:
                QVERIFY2(f.pointSize() == (row.font == Font::Path ? 11 : 9) &&
                             has(QFont::WeightResolved) && f.weight() == QFont::Normal &&
                             !has(QFont::FamiliesResolved),
                         row.name);
                break;
            }
        }
    }

    void statesAndRanges() {
        // The five sidebar buttons are checkable, INPUTS checked; nothing else is.
        for (auto* b : window->findChildren<QAbstractButton*>()) {
            const QString n = b->objectName();
            const bool sidebar = QRegularExpression("^pbS[1-5]$").match(n).hasMatch();
            QVERIFY2(b->isCheckable() == (sidebar || n == "cbClutch"), qPrintable(n));
            QVERIFY2(b->isChecked() == (n == "pbS1"), qPrintable(n));
        }
        const QStringList fixed{"pgCal0", "pgCal1", "pgCal2", "cbPro0", "cbPro1"};
        for (const Row& row : rows) {
            QWidget* w = widget(row.name);
            const QSizePolicy p = w->sizePolicy();
            const bool isFixed = p.horizontalPolicy() == QSizePolicy::Fixed &&
                                 p.verticalPolicy() == QSizePolicy::Fixed;
            QVERIFY2(isFixed == fixed.contains(row.name), row.name);
            QVERIFY2(w->isEnabled() && !w->autoFillBackground() && !w->isHidden(), row.name);
            if (auto* label = qobject_cast<QLabel*>(w))
                QVERIFY2(!label->hasScaledContents(), row.name);
        }
        QCOMPARE(ui.pbClose->iconSize(), QSize(16, 16));

        struct Bar {
            QProgressBar* bar;
            int maximum, value;
            Qt::Orientation orientation;
            const char* format;
        };
        const Bar bars[] = {
            {ui.pgAdc0, 65535, 20000, Qt::Horizontal, "%v"},
            {ui.pgAdc1, 65535, 20000, Qt::Horizontal, "%v"},
            {ui.pgAdc2, 65535, 20000, Qt::Horizontal, "%v"},
            {ui.pgCal0, 65535, 20000, Qt::Vertical, "%p%"},
            {ui.pgCal1, 65535, 20000, Qt::Vertical, "%p%"},
            {ui.pgCal2, 65535, 20000, Qt::Vertical, "%p%"},
            {ui.pgUpgrade, 100, 0, Qt::Horizontal, "%p%"},
        };
        for (const Bar& b : bars) {
            const QByteArray name = b.bar->objectName().toLatin1();
            QVERIFY2(b.bar->minimum() == 0 && b.bar->maximum() == b.maximum, name);
            QVERIFY2(b.bar->value() == b.value && !b.bar->isTextVisible(), name);
            QVERIFY2(b.bar->orientation() == b.orientation && b.bar->format() == b.format, name);
        }
        QCOMPARE(int(window->findChildren<QProgressBar*>().size()), int(std::size(bars)));

        for (QComboBox* combo : {ui.cbPro0, ui.cbPro1, ui.cbPro2}) {
            const QByteArray name = combo->objectName().toLatin1();
            QVERIFY2(combo->isEditable() && combo->count() == 0, name);
            QVERIFY2(combo->placeholderText().isEmpty(), name);
        }
        QCOMPARE(ui.cbPro0->sizeAdjustPolicy(), QComboBox::AdjustToContentsOnFirstShow);
        QVERIFY(ui.lePath->text().isEmpty());
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
