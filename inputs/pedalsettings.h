// The pedal set's clutch mode and deadzones, as the device holds them.
//
// The device keeps a low and a high deadzone per axis on a 0..65535 scale; the program
// shows and edits them as whole percentages. With the clutch disabled its deadzone is not
// in use: it is written as none (0 and 65535) and reading leaves the shown value alone.
#pragma once

#include "device/protocol.h"

#include <array>

class PedalSettings {
public:
    // Lower and upper deadzone per axis, in percent: low0, high0, low1, high1, low2, high2.
    using Percents = std::array<int, 2 * Protocol::AXIS_COUNT>;

    bool clutchEnabled() const { return clutch; }
    const Percents& deadzones() const { return percents; }

    // Reads VEXIE_PEDAL_MODE: the clutch is enabled when it is exactly 1. False when the
    // reply did not arrive (the mode then reads as disabled).
    bool readClutchMode();
    enum class ClutchChange {
        Unchanged, // the device already had it: nothing written
        Written,
        Failed, // the write did not arrive: the mode is back to what it was
    };
    // The user's choice; written, with the keep mark, only when the device differs.
    ClutchChange setClutchEnabled(bool on);

    // Reads the deadzone block. False when the reply did not arrive: the values are kept,
    // since zeros would show every upper deadzone at 100 % and the next write store them.
    bool loadDeadzones();
    // Writes all six (the clutch's as none while it is disabled), then reads back what the
    // device now holds. False when the read-back did not arrive.
    bool writeDeadzones(const Percents& wanted);

private:
    bool clutch = false;
    Percents percents{};
};
