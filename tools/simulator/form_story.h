// The drive form's story, in the last boot of the default run: the storage comes up
// after DiskInfoSetupDxe and the setup side fills its drive form.
#pragma once

#include <ostream>

namespace sim {
class Platform;
}

namespace simulator {

// Loads DiskInfoSetupDxe, brings up the default storage, and calls FillForm as the
// setup utility does, before the boot ends. False if the form protocol is missing or a
// fault was recorded.
bool RunFormStory(sim::Platform &platform, std::ostream &log);

}  // namespace simulator
