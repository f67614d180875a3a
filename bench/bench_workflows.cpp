// Device workflows with 1 ms per feature report, as on a real bus: feature reports and
// wall time of each, all driven through the window. The profile save runs from the click
// to its message box being shown; the import from the file being chosen in the dialog
// to the slot's return, so the dialog's own time and the answering helpers' polling are
// left out.
// Usage: bench_workflows LABEL
#include "bench/benchutil.h"
#include "device/protocol.h"
#include "tests/windowfixture.h"

#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

using namespace Bench;
using namespace Protocol;

namespace {

constexpr quint8 PROFILE_SELECT = 0x0F;
const std::array<quint8, 5> POINTS{0x11, 0x21, 0x32, 0x43, 0x53};

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A moment of a workflow: when, and how many feature reports had been made by then.
struct Mark {
    Clock::time_point at;
    long long calls = 0;
};

Mark now() {
    return {Clock::now(), PedalSim::featureCalls()};
}

void report(const QString& bench, const QString& what, const Mark& start, const Mark& end) {
    row(bench, what + " (feature reports / ms)",
        QStringLiteral("%1 / %2")
            .arg(end.calls - start.calls)
            .arg(fixed(msSince(start.at, end.at), 0)));
}

// Runs f, then prints the feature reports (sent and read) and the wall time it took.
template <typename F> void measure(const QString& bench, const QString& what, F&& f) {
    const Mark start = now();
    f();
    report(bench, what, start, now());
}

QString profileName(int slot) {
    return QStringLiteral("PROFILE %1").arg(slot);
}

quint8 profileAxis(int slot) {
    return quint8(1 + slot % 3);
}

QByteArray pointBytes() {
    return QByteArray(reinterpret_cast<const char*>(POINTS.data()), int(POINTS.size()));
}

// 16 profiles in the program's INI format, every slot taken.
void writeImportFile(const QString& path, quint32 selection) {
    QSettings file(path, QSettings::IniFormat);
    for (int slot = 0; slot < PROFILE_SLOTS; ++slot)
        file.setValue(QString::asprintf("%02d", slot) + profileName(slot),
                      makeProfileRecord(quint8(slot), profileAxis(slot), pointBytes()));
    file.setValue(QStringLiteral("INDEX"), QVariant(uint(selection)));
    file.sync();
    if (file.status() != QSettings::NoError)
        qFatal("cannot write %s", qPrintable(path));
}

bool holds(int slot, const QString& name, quint8 axisId, const std::array<quint8, 5>& points) {
    const PedalSim::ProfileSlot p = PedalSim::profile(slot);
    return PedalSim::profileName(slot) == name && p.axisId == axisId && p.points == points;
}

// Shows the page that holds a widget, through its sidebar button.
void showPageOf(MainWindow& w, QWidget* child) {
    auto* pages = widget<QStackedWidget>(w, "stackedWidget");
    QWidget* page = child;
    while (page && page->parentWidget() != pages)
        page = page->parentWidget();
    const int index = pages->indexOf(page);
    widget<QPushButton>(w, qPrintable(QStringLiteral("pbS%1").arg(index + 1)))->click();
    if (pageIndex(w) != index)
        qFatal("page %d not shown", index);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString bench =
        QStringLiteral("workflows 1 ms/report %1")
            .arg(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QGuiApplication::platformName());
    PedalSim::reset();
    PedalSim::setLogging(true, false);
    PedalSim::setReportDelay(std::chrono::milliseconds(1));
    auto w = openWindow(benchOptions());
    runEventLoop(200);

    measure(bench, "connect (to the INPUTS page)", [&] {
        widget<QStackedWidget>(*w, "stackedWidget")->setCurrentIndex(4);
        w->onInit();
        while (pageIndex(*w) != 0)
            QCoreApplication::processEvents();
    });

    bool correct = true;
    auto* brake = widget<QComboBox>(*w, "cbPro1");
    showPageOf(*w, brake);
    // Typed over the shown name, as a user does; the first free slot is 3.
    brake->lineEdit()->selectAll();
    QTest::keyClicks(brake->lineEdit(), QStringLiteral("RACE"));
    if (brake->currentText() != QStringLiteral("RACE"))
        qFatal("name not typed");
    {
        MessageBoxAnswerer answerer;
        // The moment the message comes up, before anyone can answer it.
        Mark shown;
        answerer.inspect = [&] {
            shown = now();
        };
        const Mark start = now();
        widget<QPushButton>(*w, "pbSavePro1")->click();
        report(bench, "save a profile, click to message", start, shown);
        correct = correct &&
                  answerer.seen == QStringList{QStringLiteral("Notify|Profile is saved")} &&
                  holds(3, QStringLiteral("RACE"), 2, {17, 33, 50, 67, 83}) &&
                  PedalSim::keptSelection() == packSelection(0, 3, 2, true);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("profiles.ini"));
    const quint32 selection = packSelection(0, 1, 2, true);
    writeImportFile(path, selection);
    {
        FileDialogAnswerer files(path);
        MessageBoxAnswerer answerer;
        Mark start;
        files.inspect = [&] {
            start = now();
        };
        widget<QPushButton>(*w, "pbImport")->click();
        report(bench, "import 16 profiles, file chosen to done", start, now());
        correct = correct && files.dialogs == 1 && answerer.seen.isEmpty() &&
                  PedalSim::keptSelection() == selection;
        for (int slot = 0; slot < PROFILE_SLOTS; ++slot)
            correct = correct && holds(slot, profileName(slot), profileAxis(slot), POINTS);
    }

    auto* calibrate = widget<QPushButton>(*w, "pbSave2");
    measure(bench, "calibration start", [&] { calibrate->click(); });
    runEventLoop(600);
    PedalSim::pushInput(100, 100, 2000);
    PedalSim::pushInput(100, 100, 60000);
    runEventLoop(100);
    measure(bench, "calibration save", [&] { calibrate->click(); });

    const bool clean = PedalSim::protocolErrors().isEmpty();
    if (!clean)
        qWarning() << PedalSim::protocolErrors();
    if (!correct)
        qWarning("the device does not hold the saved or imported profiles");
    w.reset();
    return clean && correct ? 0 : 1;
}
