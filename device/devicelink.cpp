#include "device/devicelink.h"

#include "device/devicehandle.h"

#include <hidapi.h>

namespace DeviceLink {

using namespace Protocol;

namespace {
// Both with the handle's lock held.
int send(hid_device* handle, const FeatureReport& report) {
    const int n = hid_send_feature_report(handle, report.data(), report.size());
    if (n < 0)
        DeviceHandle::noteFailureLocked();
    return n;
}

int get(hid_device* handle, FeatureReport& reply) {
    reply[0] = REPORT_ID;
    const int n = hid_get_feature_report(handle, reply.data(), reply.size());
    if (n < 0)
        DeviceHandle::noteFailureLocked();
    return n;
}
} // namespace

bool query(quint8 item, quint8 subIndex, FeatureReport& reply) {
    const FeatureReport request = queryReport(item, subIndex);
    return DeviceHandle::use([&](hid_device* handle) {
        if (!handle || !wasSent(send(handle, request)))
            return false;
        return get(handle, reply) >= int(reply.size());
    });
}

quint32 readSetting(quint8 setting, bool* ok) {
    FeatureReport reply{};
    const bool arrived = query(deviceSettingRead, setting, reply);
    if (ok)
        *ok = arrived;
    return arrived ? settingValue(reply) : 0;
}

void writeSetting(quint8 setting, quint32 value, bool keep) {
    sendSetting(setting, value, keep);
}

int sendReport(const FeatureReport& report) {
    return DeviceHandle::use(
        [&](hid_device* handle) { return handle ? send(handle, report) : -1; });
}

int sendSetting(quint8 setting, quint32 value, bool keep) {
    return sendReport(settingWriteReport(setting, value, keep));
}

int writeBlock(const FeatureReport& report) {
    return sendReport(report);
}

bool writeProfileReports(quint8 slot, const QString& name, const QByteArray& record,
                         FeatureReport& buffer) {
    return DeviceHandle::use([&](hid_device* handle) {
        if (!handle)
            return false;
        fillProfileNameReport(buffer, slot, encodeProfileName(name));
        if (!wasSent(send(handle, buffer)))
            return false;
        fillProfileCurveReport(buffer, record);
        return wasSent(send(handle, buffer));
    });
}

QString readVersion(bool* ok) {
    FeatureReport reply{};
    const bool arrived = query(ITEM_FIRMWARE_VERSION, 0, reply);
    if (ok)
        *ok = arrived;
    return decodeVersionText(reply);
}

int sendFirmwareReport(const FeatureReport& report) {
    return sendReport(report);
}

} // namespace DeviceLink
