// The simulator's default run: boot the platform, load the drivers, drive the events
// that reach them, and call their operations as the rest of the firmware would.
#pragma once

#include <ostream>

namespace sim {
class Platform;
}

namespace simulator {

// Writes a line per operation call with its status; returns false if something the
// run depends on is missing.
bool RunDefaultScenario(sim::Platform &platform, std::ostream &log);

}  // namespace simulator
