// The simulator's default run: boot the platform, load the drivers, drive the events
// that reach them, and call their operations as the rest of the firmware would.
#pragma once

#include <ostream>

#include "runtime/uefi/types.h"

namespace sim {
class Platform;
}

namespace simulator {

// Writes a line per operation call with its status; returns false if something the
// run depends on is missing.
bool RunDefaultScenario(sim::Platform &platform, std::ostream &log);

// One boot of the profile's images, the variable services and the setup component after
// them; false when a driver reset the platform during the boot.
bool BootWithDriver(sim::Platform &platform);

// The end of a boot: DXE ends, the operating system goes virtual and takes over.
void EndOfBoot(sim::Platform &platform);
// The power-event log's story: S3 entry and resume, S4 entry, the next boot's start-up
// record, S5 entry. Each entry runs the SMM handlers through the Sx dispatcher.
bool RunSleepStory(sim::Platform &platform, std::ostream &log);

// `count` boots of the profile's images: each ends in the reset a driver asked for, or
// in the operating system taking over and shutting down (S5). False when a fault was
// recorded.
bool RunBoots(sim::Platform &platform, int count, std::ostream &log);
// Boots until the drivers' policies hold, then the drive form's story: the storage
// comes up and the setup side fills the form; `status` gets what FillForm answered.
bool RunForm(sim::Platform &platform, std::ostream &log, EFI_STATUS *status);
// Boots until the drivers' policies hold, hands over to the operating system and enters
// sleep state 3, 4 or 5; after S3 a minute passes and the platform resumes.
bool RunSleep(sim::Platform &platform, int state, std::ostream &log);

}  // namespace simulator
