// A readable account of what the images did, built from the platform's record.
#pragma once

#include <ostream>

namespace sim {

class Platform;

void WriteReport(std::ostream &out, Platform &platform);

}  // namespace sim
