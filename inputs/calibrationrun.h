// Calibration of one axis at a time. Started, the axis gets the full raw range (not kept
// by the device) while the user moves the pedal through its travel and every input sample
// widens the measured extremes; saved, the measured limits are stored with the keep mark
// and the axis's deadzones cleared.
#pragma once

#include "device/protocol.h"

#include <array>

class CalibrationRun {
public:
    static constexpr int NO_AXIS = -1;
    // Lowest and highest raw value per axis since its last reset: low0, high0, low1, ...
    using Extremes = std::array<quint16, 2 * Protocol::AXIS_COUNT>;

    // The axis being measured, or NO_AXIS.
    int runningAxis() const { return running; }
    const Extremes& extremes() const { return range; }

    // Every input sample counts, also one that is never shown.
    void track(const Protocol::AxisValues& values);

    enum class Outcome {
        OtherAxisRunning, // nothing sent
        NothingMeasured,  // the pedal never moved: the run goes on, nothing sent
        Started,          // call settle() once the device has switched to the full range
        Saved,            // the deadzones should be read again
        LinkFailed,       // a report failed; the run is over
    };
    // The axis's button: starts its run, or saves it when it is the one running.
    Outcome press(int axis);
    // Samples from before the device switched to the full range do not count; until then a
    // SAVE stores nothing. Does nothing once the run has ended.
    void settle();
    // Ends a running run without storing it: the device gets back the limits it had when
    // the run started. False when a report failed.
    bool cancel();
    // Forgets a run without a word to the device (it was reconnected).
    void abandon() { running = NO_AXIS; }

private:
    bool writeBlocks(Protocol::FeatureReport& calibration, Protocol::FeatureReport& deadzones);

    int running = NO_AXIS;
    bool settled = false; // the running axis's extremes count from the settle on
    Extremes range{Protocol::FULL_SCALE, 0, Protocol::FULL_SCALE, 0, Protocol::FULL_SCALE, 0};
    // The running axis's calibration and deadzone limits as the device had them.
    std::array<quint16, 2> calibrationBefore{};
    std::array<quint16, 2> deadzonesBefore{};
};
