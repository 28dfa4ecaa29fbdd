// The drive form's story, in the last boot of the default run: the storage comes up
// after DiskInfoSetupDxe and the setup side fills its drive form.
#pragma once

#include <ostream>

#include "runtime/uefi/types.h"

namespace sim {
class Platform;
}

namespace simulator {

// The image that publishes the drive form.
constexpr const char *kDiskInfoImage = "DiskInfoSetupDxe";

// Loads DiskInfoSetupDxe (unless the profile's images already did), brings up the
// profile's storage, and calls FillForm as the setup utility does, before the boot ends;
// `status` gets what FillForm answered. False if the form protocol is missing or a fault
// was recorded.
bool RunFormStory(sim::Platform &platform, std::ostream &log, EFI_STATUS *status = nullptr);

}  // namespace simulator
