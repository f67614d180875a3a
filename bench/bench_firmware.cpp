// Firmware transfer of a maximal image against the virtual pedal set with no delay: the
// program's own time per data report, apart from the device's. The loop does what the
// upload thread does for each piece: header and data into one reused buffer, the send
// through DeviceLink (the shared handle's lock), the progress value.
// Usage: bench_firmware LABEL
#include "bench/benchutil.h"
#include "device/devicehandle.h"
#include "device/devicelink.h"
#include "sim/pedalsim.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <hidapi.h>

#include <cstring>

using namespace Bench;
using namespace Protocol;

namespace {

QByteArray maximalImage() {
    QByteArray image(int(MAX_FIRMWARE_SIZE), '\0');
    QRandomGenerator random(7);
    for (char& c : image)
        c = char(random.generate());
    return image;
}

// One transfer as the upload thread makes it; returns the progress values emitted.
int transfer(const QByteArray& image) {
    const int size = int(image.size());
    FeatureReport buffer{};
    buffer[0] = REPORT_ID;
    int last = -1, emitted = 0;
    for (int offset = 0; offset < size; offset += FIRMWARE_PIECE) {
        const int n = std::min(FIRMWARE_PIECE, size - offset);
        fillFirmwareChunkHeader(buffer, offset, n);
        std::memcpy(buffer.data() + FIRMWARE_DATA_OFFSET, image.constData() + offset, size_t(n));
        if (DeviceLink::sendFirmwareReport(buffer) < 0)
            break;
        const int pct = firmwareProgress(offset, size);
        if (pct != last) {
            last = pct;
            ++emitted;
        }
    }
    buffer[1] = FIRMWARE_END; // the closing report: the command byte changes, the rest stays
    DeviceLink::sendFirmwareReport(buffer);
    return emitted;
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

    // The same reports straight into the device model: the device's share of the time.
    std::vector<FeatureReport> prepared;
    {
        FeatureReport buffer{};
        buffer[0] = REPORT_ID;
        for (int offset = 0; offset < image.size(); offset += FIRMWARE_PIECE) {
            fillFirmwareChunkHeader(buffer, offset, FIRMWARE_PIECE);
            std::memcpy(buffer.data() + FIRMWARE_DATA_OFFSET, image.constData() + offset,
                        FIRMWARE_PIECE);
            prepared.push_back(buffer);
        }
    }

    transfer(image); // warm-up
    std::vector<double> total, device;
    int emitted = 0;
    for (int round = 0; round < 5; ++round) {
        Clock::time_point start = Clock::now();
        emitted = transfer(image);
        total.push_back(msSince(start) * 1000.0 / reports);

        start = Clock::now();
        DeviceHandle::use([&](hid_device* handle) {
            for (const FeatureReport& report : prepared)
                hid_send_feature_report(handle, report.data(), report.size());
        });
        device.push_back(msSince(start) * 1000.0 / reports);
    }
    const bool intact = PedalSim::firmwareImage() == image && PedalSim::protocolErrors().isEmpty();
    const double t = quantile(total, 0.5), d = quantile(device, 0.5);
    row(bench, "data reports, image intact",
        QStringLiteral("%1, %2").arg(reports).arg(intact ? "yes" : "NO"), "14336, yes");
    row(bench, "progress values emitted", QString::number(emitted), "96");
    row(bench, "per data report: all / device (us)", fixed(t, 3) + " / " + fixed(d, 3));
    row(bench, "per data report: program (us)", fixed(std::max(0.0, t - d), 3), "< 2");
    DeviceHandle::close();
    return intact ? 0 : 1;
}
