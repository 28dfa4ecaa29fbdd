// The drive form's story: a boot in which the storage comes up after DiskInfoSetupDxe
// and the setup side fills and shows its drive form.
#pragma once

#include <ostream>

namespace sim {
class Platform;
}

namespace simulator {

// Boots again, loads DiskInfoSetupDxe, brings up the default storage, and calls
// FillForm as the setup utility does. False if the form protocol is missing or a fault
// was recorded.
bool RunFormStory(sim::Platform &platform, std::ostream &log);

}  // namespace simulator
