#include "inputs/calibrationrun.h"

#include "device/devicelink.h"

#include <algorithm>

using namespace Protocol;

namespace {
// Clutch and throttle store their low a little above the measured rest position, so a
// foot resting on the pedal does not register.
constexpr int LOW_MARGIN = 1000;
constexpr int BRAKE_AXIS = 1;

int lowIndex(int axis) {
    return 2 * axis;
}
int highIndex(int axis) {
    return 2 * axis + 1;
}
} // namespace

void CalibrationRun::track(const AxisValues& values) {
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        const quint16 x = values[axis];
        range[lowIndex(axis)] = std::min(range[lowIndex(axis)], x);
        range[highIndex(axis)] = std::max(range[highIndex(axis)], x);
    }
}

void CalibrationRun::settle() {
    // The wait may outlast its run (a quick SAVE, a cancel): then there is nothing to settle.
    if (running == NO_AXIS || settled)
        return;
    range[lowIndex(running)] = FULL_SCALE;
    range[highIndex(running)] = 0;
    settled = true;
}

bool CalibrationRun::writeBlocks(FeatureReport& calibration, FeatureReport& deadzones) {
    return DeviceLink::wasSent(DeviceLink::writeBlock(calibration)) &&
           DeviceLink::wasSent(DeviceLink::writeBlock(deadzones));
}

CalibrationRun::Outcome CalibrationRun::press(int axis) {
    if (running != NO_AXIS && running != axis)
        return Outcome::OtherAxisRunning;
    const int low = lowIndex(axis);
    const int high = highIndex(axis);
    const bool saving = running == axis;
    // Before the settle (a double-click) the extremes are those since the connection; without
    // a sample since, or with the pedal never moved, the stored limits would leave the axis
    // no travel at all and replace a working calibration.
    if (saving && (!settled || range[low] >= range[high]))
        return Outcome::NothingMeasured;

    // The blocks go back whole, the other two axes as read: never from a missing reply,
    // which would store zeros over their calibration.
    FeatureReport calibration{};
    FeatureReport deadzones{};
    if (!DeviceLink::query(ITEM_BLOCK, CALIBRATION_BLOCK, calibration) ||
        !DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, deadzones)) {
        running = NO_AXIS;
        return Outcome::LinkFailed;
    }

    if (saving) {
        running = NO_AXIS;
        const int margin = axis == BRAKE_AXIS ? 0 : LOW_MARGIN;
        // A rest position near the top must not wrap around.
        const auto storedLow = quint16(std::min<int>(range[low] + margin, FULL_SCALE));
        calibration[BLOCK_MARK_OFFSET] = STORE_MARK;
        setBlockValue(calibration, low, storedLow);
        setBlockValue(calibration, high, range[high]);
        deadzones[BLOCK_MARK_OFFSET] = STORE_MARK;
        setBlockValue(deadzones, low, 0);
        setBlockValue(deadzones, high, FULL_SCALE);
        // A calibration the device did not take is not reported as saved.
        return writeBlocks(calibration, deadzones) ? Outcome::Saved : Outcome::LinkFailed;
    }

    calibrationBefore = {blockValue(calibration, low), blockValue(calibration, high)};
    deadzonesBefore = {blockValue(deadzones, low), blockValue(deadzones, high)};
    // Full range while measuring; not marked, so the device does not keep it.
    setBlockValue(calibration, low, 0);
    setBlockValue(calibration, high, FULL_SCALE);
    setBlockValue(deadzones, low, 0);
    setBlockValue(deadzones, high, FULL_SCALE);
    if (!writeBlocks(calibration, deadzones))
        return Outcome::LinkFailed;
    running = axis;
    settled = false;
    return Outcome::Started;
}

bool CalibrationRun::cancel() {
    if (running == NO_AXIS)
        return true;
    const int low = lowIndex(running);
    const int high = highIndex(running);
    running = NO_AXIS;
    FeatureReport calibration{};
    FeatureReport deadzones{};
    if (!DeviceLink::query(ITEM_BLOCK, CALIBRATION_BLOCK, calibration) ||
        !DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, deadzones))
        return false;
    // Unmarked like the start: what the device keeps in flash never changed.
    setBlockValue(calibration, low, calibrationBefore[0]);
    setBlockValue(calibration, high, calibrationBefore[1]);
    setBlockValue(deadzones, low, deadzonesBefore[0]);
    setBlockValue(deadzones, high, deadzonesBefore[1]);
    return writeBlocks(calibration, deadzones);
}
