// Input path: the virtual pedal set streams reports at a fixed rate into the shown window.
// Usage: bench_inputs RATE SECONDS LABEL
#include "bench/benchutil.h"
#include "tests/windowfixture.h"

#include <QEventLoop>
#include <QProgressBar>

using namespace Bench;

namespace {

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Notes when each queued slot call to the window has run. While the pedals stream, the
// samples are the only ones: each note is a sample applied by the window's slot.
class SlotTimer : public QObject {
public:
    explicit SlotTimer(size_t expected) { applied.reserve(expected); }
    std::vector<Clock::time_point> applied;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MetaCall)
            return false;
        static_cast<QObject*>(watched)->event(event);
        applied.push_back(Clock::now());
        return true;
    }
};

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

quint16 reportValue(const QByteArray& report, int axis) {
    return quint16(quint8(report[1 + 2 * axis]) | (quint8(report[2 + 2 * axis]) << 8));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int rate = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    const int seconds = argc > 2 ? QByteArray(argv[2]).toInt() : 10;
    const QString bench =
        QStringLiteral("input %1/s %2")
            .arg(rate)
            .arg(argc > 3 ? QString::fromLocal8Bit(argv[3]) : QGuiApplication::platformName());

    PedalSim::reset();
    PedalSim::setLogging(false, false);
    auto w = openWindow(benchOptions());
    runEventLoop(300); // the page switch and first paints settle

    const QString guiTid = currentThreadId();
    const QString readerTid = threadNamed(QStringLiteral("VexoEvent"));
    if (readerTid.isEmpty())
        qFatal("reader thread not found");

    SlotTimer slotTimer(size_t(rate) * size_t(seconds + 2));
    const std::vector<Clock::time_point>& applied = slotTimer.applied;
    w->installEventFilter(&slotTimer);

    PaintCounter barPaints, labelPaints;
    widget(*w, "pgAdc1")->installEventFilter(&barPaints);
    widget(*w, "lbAdc1")->installEventFilter(&labelPaints);

    const auto& range = w->session().calibration().extremes();

    const long long gui0 = threadCpuNs(guiTid), reader0 = threadCpuNs(readerTid);
    const Clock::time_point start = Clock::now();
    PedalSim::startStream(rate);
    runEventLoop(seconds * 1000);
    PedalSim::stopStream();
    const double wallMs = msSince(start);
    const long long gui1 = threadCpuNs(guiTid), reader1 = threadCpuNs(readerTid);
    const int paints = barPaints.paints, labels = labelPaints.paints;

    // What is still on its way is read and applied; then one more frame is shown.
    const Clock::time_point drainStart = Clock::now();
    while (msSince(drainStart) < 3000 &&
           (PedalSim::pendingInputs() > 0 ||
            qint64(applied.size()) < PedalSim::streamStats().delivered))
        runEventLoop(5);
    runEventLoop(100);

    const PedalSim::StreamStats stats = PedalSim::streamStats();
    const auto readable = PedalSim::streamReadableTimes();
    const auto read = PedalSim::streamReadTimes();

    double longestUnread = 0;
    for (size_t k = 0; k < read.size() && k < readable.size(); ++k)
        longestUnread =
            std::max(longestUnread,
                     std::chrono::duration<double, std::milli>(read[k] - readable[k]).count());

    std::vector<double> latency;
    size_t readUpTo = 0;
    long long deepest = 0;
    for (size_t k = 0; k < applied.size() && k < readable.size(); ++k) {
        latency.push_back(
            std::chrono::duration<double, std::milli>(applied[k] - readable[k]).count());
        while (readUpTo < read.size() && read[readUpTo] <= applied[k])
            ++readUpTo;
        deepest = std::max(deepest, (long long)readUpTo - (long long)k);
    }

    const QByteArray last = PedalSim::streamReport(stats.produced - 1, rate);
    bool newestShown = stats.produced > 0;
    for (int axis = 0; axis < 3; ++axis) {
        const QString v = QString::number(reportValue(last, axis));
        newestShown =
            newestShown &&
            widget<QLabel>(*w, qPrintable(QStringLiteral("lbAdc%1").arg(axis)))->text() == v &&
            widget<QProgressBar>(*w, qPrintable(QStringLiteral("pgAdc%1").arg(axis)))->value() ==
                reportValue(last, axis) &&
            widget<QProgressBar>(*w, qPrintable(QStringLiteral("pgCal%1").arg(axis)))->value() ==
                reportValue(last, axis);
    }

    // Judged before the close below streams again into the same slot timer.
    const bool allApplied = applied.size() == size_t(stats.produced);
    const double secondsRun = wallMs / 1000.0;
    const bool extremesMatch = range == stats.extremes;
    row(bench, "reports produced", QString::number(stats.produced));
    row(bench, "samples applied", QString::number(applied.size()), QStringLiteral("= produced"));
    row(bench, "reports lost (host buffer full)", QString::number(stats.dropped), "0");
    row(bench, "tracked extremes match the stream", extremesMatch ? "yes" : "NO", "yes");
    row(bench, "newest values shown at the end", newestShown ? "yes" : "NO", "yes");
    row(bench, "latency p50 / p99 / max (ms)",
        QStringLiteral("%1 / %2 / %3")
            .arg(fixed(quantile(latency, 0.5), 2), fixed(quantile(latency, 0.99), 2),
                 fixed(quantile(latency, 1.0), 2)),
        rate <= 1000 ? QStringLiteral("p99 < 0.5") : QString());
    row(bench, "GUI thread CPU (% of a core)", fixed(100.0 * double(gui1 - gui0) / (wallMs * 1e6)),
        rate <= 1000 && QGuiApplication::platformName() == "xcb" ? "<= 4" : "");
    row(bench, "reader thread CPU (% of a core)",
        fixed(100.0 * double(reader1 - reader0) / (wallMs * 1e6)));
    row(bench, "deepest queue: samples read, not applied", QString::number(deepest), "a few");
    row(bench, "deepest queue: reports readable, not read", QString::number(stats.deepestQueue),
        "<= 16");
    row(bench, "largest burst the model's sender sent at once",
        QString::number(stats.largestBurst));
    row(bench, "longest a report waited to be read (ms)", fixed(longestUnread, 2));
    row(bench, "paints/s of one bar / one label",
        QStringLiteral("%1 / %2").arg(fixed(paints / secondsRun, 0),
                                      fixed(labels / secondsRun, 0)));

    // Closing while the pedals stream: the reader stops, the handle closes, the window goes.
    PedalSim::startStream(rate);
    runEventLoop(200);
    const Clock::time_point closeStart = Clock::now();
    const bool closed = w->close();
    const double closeMs = msSince(closeStart);
    PedalSim::stopStream();
    row(bench, "window closed while streaming (ms)", closed ? fixed(closeMs, 1) : "NOT CLOSED",
        "< 150");

    w.reset();
    return allApplied && extremesMatch && newestShown && closed ? 0 : 1;
}
