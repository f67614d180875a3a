#include "inputs/pedalsettings.h"

#include "device/devicelink.h"

#include <QDebug>

using namespace Protocol;

namespace {
constexpr quint32 CLUTCH_ON = 1;
constexpr quint16 NO_LOW_DEADZONE = 0;
constexpr quint16 NO_HIGH_DEADZONE = FULL_SCALE;
} // namespace

bool PedalSettings::readClutchMode() {
    bool read = false;
    clutch = DeviceLink::readSetting(VEXIE_PEDAL_MODE, &read) == CLUTCH_ON;
    return read;
}

PedalSettings::ClutchChange PedalSettings::setClutchEnabled(bool on) {
    const bool before = clutch;
    clutch = on;
    const quint32 value = on ? CLUTCH_ON : 0;
    bool known = false;
    if (DeviceLink::readSetting(VEXIE_PEDAL_MODE, &known) == value && known)
        return ClutchChange::Unchanged;
    // Written also when the mode could not be read: the user asked for it.
    const bool written =
        DeviceLink::wasSent(DeviceLink::sendSetting(VEXIE_PEDAL_MODE, value, true));
    qDebug("deviceSettingWrite VEXIE_PEDAL_MODE");
    // Nothing may claim a mode the device did not take; connecting again reads its own.
    if (!written) {
        clutch = before;
        return ClutchChange::Failed;
    }
    return ClutchChange::Written;
}

bool PedalSettings::loadDeadzones() {
    FeatureReport reply{};
    if (!DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, reply))
        return false;
    for (int axis = clutch ? 0 : 1; axis < AXIS_COUNT; ++axis) {
        percents[2 * axis] = deadzoneLowToPercent(blockValue(reply, 2 * axis));
        percents[2 * axis + 1] = deadzoneHighToPercent(blockValue(reply, 2 * axis + 1));
    }
    return true;
}

bool PedalSettings::writeDeadzones(const Percents& wanted) {
    BlockValues values{};
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        const bool inUse = axis != 0 || clutch;
        values[2 * axis] = inUse ? percentToDeadzoneLow(wanted[2 * axis]) : NO_LOW_DEADZONE;
        values[2 * axis + 1] =
            inUse ? percentToDeadzoneHigh(wanted[2 * axis + 1]) : NO_HIGH_DEADZONE;
    }
    // Kept as the user left them until the device says otherwise.
    percents = wanted;
    DeviceLink::writeBlock(deadzoneBlockReport(values));
    return loadDeadzones();
}
