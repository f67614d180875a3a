// Calibration: one axis at a time, the device is set to the full raw range while the user
// moves the pedal through its travel; the measured limits are then stored.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "device/devicelink.h"

#include <QMessageBox>
#include <QTimer>

#include <algorithm>

using namespace Protocol;

namespace {
constexpr int SETTLE_MS = 500;
// Clutch and throttle store their low a little above the measured rest position, so a
// foot resting on the pedal does not register.
constexpr int LOW_MARGIN = 1000;
constexpr int BRAKE_AXIS = 1;
constexpr quint16 FULL_SCALE = 65535;
} // namespace

void MainWindow::onCalibrateSave() {
    const QString name = sender() ? sender()->objectName() : QString();
    int axis = -1;
    for (int i = 0; i < AXIS_COUNT && axis < 0; ++i)
        if (name.contains(QStringLiteral("Save%1").arg(i)))
            axis = i;
    if (axis < 0)
        return;

    QPushButton* const buttons[] = {ui->pbSave0, ui->pbSave1, ui->pbSave2};
    for (int other = 0; other < AXIS_COUNT; ++other) {
        if (other != axis && buttons[other]->text().contains(tr("SAVE"))) {
            QMessageBox::information(this, tr("Notify"),
                                     tr("Please save other channel calibrate first."),
                                     QMessageBox::Ok);
            return;
        }
    }

    calLowIndex = 2 * axis;
    calHighIndex = 2 * axis + 1;
    // Without a sample since the reset, or with the pedal never moved, the stored limits
    // would leave the axis no travel at all and replace a working calibration. The
    // measurement goes on instead.
    QPushButton* const button = buttons[axis];
    const bool saving = button->text() == tr("SAVE");
    if (saving && calRange[calLowIndex] >= calRange[calHighIndex]) {
        QMessageBox::information(this, tr("Notify"),
                                 tr("No pedal movement was measured. Please move the pedal "
                                    "through its whole travel, then press SAVE."),
                                 QMessageBox::Ok);
        return;
    }
    FeatureReport calibration{};
    FeatureReport deadzones{};
    // The blocks go back whole, the other two axes as read: never from a missing reply,
    // which would store zeros over their calibration.
    if (!DeviceLink::query(ITEM_BLOCK, CALIBRATION_BLOCK, calibration) ||
        !DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, deadzones)) {
        linkFailed();
        return;
    }

    if (saving) {
        const int margin = axis == BRAKE_AXIS ? 0 : LOW_MARGIN;
        // A rest position near the top must not wrap around.
        const auto low = quint16(std::min<int>(calRange[calLowIndex] + margin, FULL_SCALE));
        calibration[BLOCK_MARK_OFFSET] = STORE_MARK;
        setBlockValue(calibration, calLowIndex, low);
        setBlockValue(calibration, calHighIndex, calRange[calHighIndex]);
        // A calibration the device did not take is not reported as saved: the button
        // stays, and connecting again shows what the device holds.
        if (DeviceLink::writeBlock(calibration) < 0) {
            linkFailed();
            return;
        }

        deadzones[BLOCK_MARK_OFFSET] = STORE_MARK;
        setBlockValue(deadzones, calLowIndex, 0);
        setBlockValue(deadzones, calHighIndex, FULL_SCALE);
        const bool deadzonesWritten = DeviceLink::writeBlock(deadzones) >= 0;

        button->setText(tr("CALIBRATE"));
        if (!deadzonesWritten || !loadDeadzones())
            linkFailed();
        return;
    }

    // Full range while measuring; not marked, so the device does not keep it.
    setBlockValue(calibration, calLowIndex, 0);
    setBlockValue(calibration, calHighIndex, FULL_SCALE);
    setBlockValue(deadzones, calLowIndex, 0);
    setBlockValue(deadzones, calHighIndex, FULL_SCALE);
    if (DeviceLink::writeBlock(calibration) < 0 || DeviceLink::writeBlock(deadzones) < 0) {
        linkFailed();
        return;
    }
    button->setText(tr("SAVE"));
    QTimer::singleShot(SETTLE_MS, this, &MainWindow::onCalibrateWait);
}

void MainWindow::onCalibrateWait() {
    // Samples from before the device switched to the full range do not count.
    calRange[calLowIndex] = FULL_SCALE;
    calRange[calHighIndex] = 0;
}
