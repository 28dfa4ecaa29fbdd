// The drive section of the simulator's report: what DiskInfoSetupDxe found, and the
// setup form as a user sees it in each of its languages.
#pragma once

#include <ostream>

namespace sim {

class Platform;

void WriteDiskInfoReport(std::ostream &out, Platform &platform);

}  // namespace sim
