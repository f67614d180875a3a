#include "firmware/vexoupgrade.h"

#include "device/devicehandle.h"
#include "device/devicelink.h"
#include "device/protocol.h"
#include "firmware/updatecheck.h"

#include <QDebug>
#include <QFile>

VexoUpgrade::VexoUpgrade(QObject* parent)
    : QThread(parent) {}

void VexoUpgrade::run() {
    using namespace Protocol;
    // Percentages after the closing report, one a second while the device writes.
    constexpr int WRITING_STEPS[] = {97, 98, 99, 100};

    QFile file(firmwarePath);
    if (!DeviceHandle::isOpen()) {
        lastOutcome = Outcome::NoDevice;
        return;
    }
    qDebug().noquote() << QStringLiteral("Upgrading...") + firmwarePath;
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug("Can not open upgrade firmware file.");
        lastOutcome = Outcome::Unreadable;
        return;
    }
    // One byte more than allowed is enough to see that a file is too large.
    const QByteArray image = file.read(MAX_FIRMWARE_SIZE + 1);
    const bool readFailed = file.error() != QFileDevice::NoError;
    file.close();
    if (readFailed) {
        lastOutcome = Outcome::Unreadable;
        return;
    }
    if (image.size() > MAX_FIRMWARE_SIZE) {
        lastOutcome = Outcome::TooLarge;
        return;
    }

    const auto removeTemporaryCopy = [this] {
        if (Firmware::isTemporaryImage(firmwarePath))
            QFile::remove(firmwarePath);
    };
    const auto failed = [&](int result) {
        lastOutcome = Outcome::SendFailed;
        emit progress(result);
        removeTemporaryCopy();
    };

    // One buffer for the whole transfer: the bytes after a short last piece are those
    // of the piece before, as the device expects.
    FeatureReport buffer = emptyReport();
    const int size = int(image.size());
    int last = -1;
    for (int offset = 0; offset < size; offset += FIRMWARE_PIECE) {
        fillFirmwareChunk(buffer, image, offset);
        const int result = DeviceLink::sendFirmwareReport(buffer);
        if (result < 0) {
            // The device must not be told to write a partial image.
            failed(result);
            return;
        }
        const int percent = firmwareProgress(offset, size);
        if (percent != last) {
            emit progress(percent);
            last = percent;
        }
    }

    markFirmwareEnd(buffer);
    const int result = DeviceLink::sendFirmwareReport(buffer);
    if (result < 0) {
        // Without the closing report the device writes nothing: not a success.
        failed(result);
        return;
    }
    lastOutcome = Outcome::Written;
    for (int step : WRITING_STEPS) {
        QThread::msleep(writingStepMs);
        emit progress(step);
    }
    removeTemporaryCopy();
}
