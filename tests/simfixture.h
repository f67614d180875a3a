// Shared by every test on the virtual pedal set, with or without the window.
#pragma once

#include "device/devicehandle.h"
#include "sim/pedalsim.h"

#include <QByteArray>
#include <QStringList>

// Each test starts on a factory-fresh pedal set, with no handle left by the one before.
inline void freshPedalSet() {
    DeviceHandle::close();
    PedalSim::reset();
}

inline QStringList sentHex() {
    QStringList out;
    for (const QByteArray& b : PedalSim::sentReports())
        out << PedalSim::hex(b);
    return out;
}

// "020B0900" padded with zeros to a 20-byte report, as hex text.
inline QString reportHex(const char* prefix) {
    QByteArray b = QByteArray::fromHex(prefix);
    b.append(QByteArray(20 - b.size(), '\0'));
    return PedalSim::hex(b);
}
