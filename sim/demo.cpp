// Linked only into the demo build: the virtual pedal set is plugged in and its pedals
// press and release by themselves, so the whole program can be seen working.
#include "sim/pedalsim.h"

namespace {
const bool demoStarted = [] {
    PedalSim::setLogging(false, false);
    PedalSim::setMotion(true, 250);
    return true;
}();
} // namespace
