// The flash section of the simulator's report.
#pragma once

#include <ostream>

namespace sim {

class Platform;

// The flash hardware, the device the drivers chose (PCD token 433) and how many erase
// and program commands reached the parts.
void WriteFlashReport(std::ostream &out, Platform &platform);

}  // namespace sim
