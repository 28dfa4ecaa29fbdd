// The report as JSON for scripts and tests: the same content as the readable report
// (effects in order; the final variables, CMOS, EC, flash operations and power-event
// log), with addresses shown as in the readable report.
#pragma once

#include <nlohmann/json_fwd.hpp>

namespace sim {

class Platform;

nlohmann::ordered_json ReportJson(Platform &platform);

}  // namespace sim
