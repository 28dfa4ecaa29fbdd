// A readable account of what the images did: the platform's record and each model's
// description of its state, rendered from the same description `--json` prints.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <ostream>

namespace sim {

class Platform;

void WriteReport(std::ostream &out, Platform &platform);
// The same from a description ReportJson made.
void WriteReport(std::ostream &out, const nlohmann::ordered_json &report);

}  // namespace sim
