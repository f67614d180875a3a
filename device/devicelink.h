// The operations through which the program talks to the pedal set.
//
// With no device open a read leaves the caller's zeroed buffer untouched (so everything
// reads as 0) and a write is skipped. Reads also say whether a whole reply arrived: a
// workflow must never decide what to write from a reply that did not.
#pragma once

#include "device/protocol.h"

#include <QByteArray>
#include <QString>

namespace DeviceLink {

using Protocol::FeatureReport;

// Sends a QUERY and reads the reply into the caller's buffer. True when the query went out
// and all 20 bytes of the reply came back; when the query itself failed, no reply is read:
// the device would answer with what it prepared for the query before.
bool query(quint8 item, quint8 subIndex, FeatureReport& reply);
// 0 when the reply did not arrive; ok tells.
quint32 readSetting(quint8 setting, bool* ok = nullptr);
void writeSetting(quint8 setting, quint32 value, bool keep);
// Any feature report: hidapi's result (the bytes written), -1 on a failure or when no
// device is open. wasSent() is the one rule for whether it went out.
int sendReport(const FeatureReport& report);
inline bool wasSent(int result) {
    return result >= 0;
}
// The setting write for callers that must know whether it arrived.
int sendSetting(quint8 setting, quint32 value, bool keep);
// A deadzone block report, or a block reply sent back.
int writeBlock(const FeatureReport& report);
// WRITE_PROFILE_NAME then WRITE_PROFILE_CURVE, both built in buffer. The curve goes only
// after the name arrived: a slot must not end up with the old name over a new curve (a
// removal cut in half would leave a named slot with a cleared curve). True when both did.
bool writeProfileReports(quint8 slot, const QString& name, const QByteArray& record,
                         FeatureReport& buffer);
QString readVersion(bool* ok = nullptr);
// One firmware transfer report.
int sendFirmwareReport(const FeatureReport& report);

} // namespace DeviceLink
