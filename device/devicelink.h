// The operations through which the program talks to the pedal set.
//
// None of them reports failure: with no device open a read leaves the caller's zeroed
// buffer untouched (so everything reads as 0) and a write is skipped.
#pragma once

#include "device/protocol.h"

#include <QByteArray>
#include <QString>

namespace DeviceLink {

using Protocol::FeatureReport;

// Sends a QUERY and reads the reply into the caller's buffer.
void query(quint8 item, quint8 subIndex, FeatureReport& reply);
quint32 readSetting(quint8 setting);
void writeSetting(quint8 setting, quint32 value, bool keep);
// The same report for callers that must know whether it arrived: hidapi's result,
// -1 when no device is open.
int sendSetting(quint8 setting, quint32 value, bool keep);
// A deadzone block report, or a block reply sent back.
void writeBlock(const FeatureReport& report);
// WRITE_PROFILE_NAME then WRITE_PROFILE_CURVE, both built in buffer.
void writeProfileReports(quint8 slot, const QString& name, const QByteArray& record,
                         FeatureReport& buffer);
QString readVersion();
// One firmware transfer report; returns hidapi's result, -1 when no device is open.
int sendFirmwareReport(const FeatureReport& report);

} // namespace DeviceLink
