// Idle: connected, the pedals sending nothing, for a while. Usage: bench_idle SECONDS LABEL
#include "bench/benchutil.h"
#include "tests/windowfixture.h"

#include <QEventLoop>

using namespace Bench;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
    const QString bench = QStringLiteral("idle %1").arg(argc > 2 ? QString::fromLocal8Bit(argv[2])
                                                                 : QGuiApplication::platformName());

    PedalSim::reset();
    PedalSim::setLogging(false, false);
    auto w = openWindow(benchOptions());
    QEventLoop settle;
    QTimer::singleShot(500, Qt::PreciseTimer, &settle, &QEventLoop::quit);
    settle.exec();

    const QString readerTid = threadNamed(QStringLiteral("VexoEvent"));
    const QString guiTid = currentThreadId();
    const long long cpu0 = processCpuNs(), switches0 = processSwitches();
    const long long reader0 = threadSwitches(readerTid), gui0 = threadSwitches(guiTid);
    const long long readerCpu0 = threadCpuNs(readerTid);
    const Clock::time_point start = Clock::now();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double wallMs = msSince(start);
    const long long cpu1 = processCpuNs(), switches1 = processSwitches();
    const long long reader1 = threadSwitches(readerTid), gui1 = threadSwitches(guiTid);
    const long long readerCpu1 = threadCpuNs(readerTid);

    const double s = wallMs / 1000.0;
    row(bench, "process CPU (% of a core)", fixed(100.0 * double(cpu1 - cpu0) / (wallMs * 1e6), 2),
        "<= 0.1");
    row(bench, "reader thread CPU (% of a core)",
        fixed(100.0 * double(readerCpu1 - readerCpu0) / (wallMs * 1e6), 2));
    row(bench, "wake-ups/s: process / reader / GUI",
        QStringLiteral("%1 / %2 / %3")
            .arg(fixed((switches1 - switches0) / s, 0), fixed((reader1 - reader0) / s, 0),
                 fixed((gui1 - gui0) / s, 0)),
        "reader <= 20");
    w.reset();

    // A reader waiting for input ends within one read: asked to stop, or the device gone.
    const auto readerEnd = [](const std::function<void(VexoEvent&)>& ending) {
        DeviceHandle::open();
        VexoEvent reader;
        reader.start();
        QEventLoop waiting;
        QTimer::singleShot(300, Qt::PreciseTimer, &waiting, &QEventLoop::quit);
        waiting.exec();
        const Clock::time_point start = Clock::now();
        ending(reader);
        reader.wait();
        const double ms = msSince(start);
        DeviceHandle::close();
        PedalSim::plug();
        return fixed(ms, 1);
    };
    row(bench, "reader ended after a stop / an unplug (ms)",
        readerEnd([](VexoEvent& r) { r.requestInterruption(); }) + " / " +
            readerEnd([](VexoEvent&) { PedalSim::unplug(); }),
        "< 100");
    return 0;
}
