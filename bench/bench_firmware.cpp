// Firmware upload of a maximal image by the program's upload thread against the virtual
// pedal set with no delay: the program's own time per data report, apart from the device's
// and from the four one-second finishing steps. The thread's CPU time is taken when it
// announces 97, right after the closing report (the one-second sleep before it costs no
// CPU); the device model's CPU time for the same reports sent straight to it is subtracted.
// Usage: bench_firmware LABEL
#include "bench/benchutil.h"
#include "device/devicehandle.h"
#include "device/protocol.h"
#include "firmware/vexoupgrade.h"
#include "sim/pedalsim.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <hidapi.h>

#include <atomic>

using namespace Bench;
using namespace Protocol;

namespace {

constexpr int ROUNDS = 5;
constexpr int FIRST_WRITING_STEP = 97;

QByteArray maximalImage() {
    QByteArray image(int(MAX_FIRMWARE_SIZE), '\0');
    QRandomGenerator random(7);
    for (char& c : image)
        c = char(random.generate());
    return image;
}

long long threadCpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

struct Upload {
    long long cpuNs = -1;          // the upload thread's CPU time at 97; -1: never came
    std::vector<int> progressSeen; // times each value 0..95 arrived
    bool written = false;
    int chunks = 0, ends = 0; // reports the device received
};

// One run of the upload thread, as the window starts it; progress values are counted in
// this thread through a queued connection, as the window receives them.
Upload upload(const QString& path) {
    Upload result;
    result.progressSeen.assign(FIRMWARE_PROGRESS_STEPS, 0);
    const int chunks0 = PedalSim::firmwareChunks(), ends0 = PedalSim::firmwareEnds();
    std::atomic<long long> cpuAt97{-1};

    VexoUpgrade thread;
    thread.firmwarePath = path;
    QObject receiver;
    QEventLoop loop;
    QObject::connect(
        &thread, &VexoUpgrade::progress, &thread,
        [&](int value) {
            if (value == FIRST_WRITING_STEP)
                cpuAt97 = threadCpuNow();
        },
        Qt::DirectConnection);
    QObject::connect(&thread, &VexoUpgrade::progress, &receiver, [&](int value) {
        if (value >= 0 && value < FIRMWARE_PROGRESS_STEPS)
            ++result.progressSeen[size_t(value)];
    });
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread.start();
    loop.exec();
    thread.wait();
    QCoreApplication::processEvents(); // progress values still queued

    result.cpuNs = cpuAt97;
    result.written = thread.outcome() == VexoUpgrade::Outcome::Written;
    result.chunks = PedalSim::firmwareChunks() - chunks0;
    result.ends = PedalSim::firmwareEnds() - ends0;
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString bench = QStringLiteral("firmware transfer %1")
                              .arg(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    PedalSim::reset();
    PedalSim::setLogging(false, false);
    if (!DeviceHandle::open())
        qFatal("no device");
    const QByteArray image = maximalImage();
    const int reports = int(MAX_FIRMWARE_SIZE / FIRMWARE_PIECE);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("maximal.bin"));
    {
        QFile file(path);
        if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            qFatal("cannot write %s", qPrintable(path));
    }

    // The same transfer, closing report included, straight into the device model: the
    // device's share of the time.
    std::vector<FeatureReport> prepared;
    {
        FeatureReport buffer = emptyReport();
        for (int offset = 0; offset < image.size(); offset += FIRMWARE_PIECE) {
            fillFirmwareChunk(buffer, image, offset);
            prepared.push_back(buffer);
        }
        markFirmwareEnd(buffer);
        prepared.push_back(buffer);
    }

    std::vector<double> total, device;
    bool intact = true, progressOnce = true;
    for (int round = 0; round < ROUNDS; ++round) {
        const Upload run = upload(path);
        intact = intact && run.written && run.chunks == reports && run.ends == 1 &&
                 PedalSim::firmwareImage() == image;
        for (int seen : run.progressSeen)
            progressOnce = progressOnce && seen == 1;
        if (run.cpuNs < 0)
            qFatal("the upload thread did not reach its writing steps");
        total.push_back(double(run.cpuNs) / 1000.0 / reports);

        const long long start = threadCpuNow();
        DeviceHandle::use([&](hid_device* handle) {
            for (const FeatureReport& report : prepared)
                hid_send_feature_report(handle, report.data(), report.size());
        });
        device.push_back(double(threadCpuNow() - start) / 1000.0 / reports);
    }
    intact = intact && PedalSim::protocolErrors().isEmpty();
    const double t = quantile(total, 0.5), d = quantile(device, 0.5);
    row(bench, "data reports, image intact",
        QStringLiteral("%1, %2").arg(reports).arg(intact ? "yes" : "NO"), "14336, yes");
    row(bench, "progress values 0..95 each once", progressOnce ? "yes" : "NO", "yes");
    row(bench, "per data report: thread CPU / device (us)", fixed(t, 3) + " / " + fixed(d, 3));
    row(bench, "per data report: program (us)", fixed(std::max(0.0, t - d), 3), "< 2");
    DeviceHandle::close();
    return intact && progressOnce ? 0 : 1;
}
