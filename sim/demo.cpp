// Linked only into the demo build: the virtual pedal set is plugged in, holds a few
// profiles of its own besides the factory ones, and its pedals press and release by
// themselves, so the whole program can be seen working. VEXO_SIM_STATE=unplugged starts it
// with the pedal set unplugged, VEXO_SIM_STATE=refused with a pedal set this user may not
// open. VEXO_SIM_INPUT=accelerometer, noaccess or unclassified describes its input device to
// the game check as udev would without the joystick mark, for a user not given the node,
// or without udev (the default: marked a joystick).
#include "sim/pedalsim.h"

namespace {
constexpr quint8 BRAKE = 2;
constexpr quint8 THROTTLE = 3;

const bool demoStarted = [] {
    PedalSim::setLogging(false, false);
    PedalSim::setProfile(3, "RACE", BRAKE, {8, 22, 45, 72, 95});
    PedalSim::setProfile(4, "WET", BRAKE, {4, 12, 30, 55, 80});
    PedalSim::setProfile(5, "DRIFT", THROTTLE, {30, 52, 68, 80, 90});
    const QString simState = qEnvironmentVariable("VEXO_SIM_STATE");
    if (simState == QLatin1String("unplugged"))
        PedalSim::unplug();
    if (simState == QLatin1String("refused"))
        PedalSim::refuseAccess(true);
    const QString input = qEnvironmentVariable("VEXO_SIM_INPUT");
    if (input == QLatin1String("accelerometer"))
        PedalSim::setInputMark(PedalSim::InputMark::Accelerometer);
    if (input == QLatin1String("noaccess"))
        PedalSim::setInputMark(PedalSim::InputMark::NoAccess);
    if (input == QLatin1String("unclassified"))
        PedalSim::setInputMark(PedalSim::InputMark::Unclassified);
    PedalSim::setMotion(true, 250);
    return true;
}();
} // namespace
