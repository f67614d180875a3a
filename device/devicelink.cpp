#include "device/devicelink.h"

#include "device/devicehandle.h"

#include <hidapi.h>

namespace DeviceLink {

using namespace Protocol;

namespace {
int send(hid_device* handle, const FeatureReport& report) {
    return hid_send_feature_report(handle, report.data(), report.size());
}
} // namespace

void query(quint8 item, quint8 subIndex, FeatureReport& reply) {
    const FeatureReport request = queryReport(item, subIndex);
    DeviceHandle::use([&](hid_device* handle) {
        if (!handle)
            return;
        send(handle, request);
        reply[0] = REPORT_ID;
        hid_get_feature_report(handle, reply.data(), reply.size());
    });
}

quint32 readSetting(quint8 setting) {
    FeatureReport reply{};
    query(deviceSettingRead, setting, reply);
    return settingValue(reply);
}

void writeSetting(quint8 setting, quint32 value, bool keep) {
    sendSetting(setting, value, keep);
}

int sendSetting(quint8 setting, quint32 value, bool keep) {
    const FeatureReport report = settingWriteReport(setting, value, keep);
    return DeviceHandle::use(
        [&](hid_device* handle) { return handle ? send(handle, report) : -1; });
}

void writeBlock(const FeatureReport& report) {
    DeviceHandle::use([&](hid_device* handle) {
        if (handle)
            send(handle, report);
    });
}

void writeProfileReports(quint8 slot, const QString& name, const QByteArray& record,
                         FeatureReport& buffer) {
    DeviceHandle::use([&](hid_device* handle) {
        if (!handle)
            return;
        fillProfileNameReport(buffer, slot, encodeProfileName(name));
        send(handle, buffer);
        fillProfileCurveReport(buffer, record);
        send(handle, buffer);
    });
}

QString readVersion() {
    FeatureReport reply{};
    query(ITEM_FIRMWARE_VERSION, 0, reply);
    return decodeVersionText(reply);
}

int sendFirmwareReport(const FeatureReport& report) {
    return DeviceHandle::use(
        [&](hid_device* handle) { return handle ? send(handle, report) : -1; });
}

} // namespace DeviceLink
