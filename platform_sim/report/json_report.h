// The description of a run that both reports are rendered from: effects in order, then
// each model's own description of its final state (variables, CMOS, EC, post codes,
// trace hub, flash, power-event log, drives and setup form, images, address fix-ups,
// S3 record, lock boxes, Sx registrations, what the drivers left allocated), with
// addresses shown as in the readable report. `--json` prints it as it stands.
#pragma once

#include <nlohmann/json_fwd.hpp>

namespace sim {

class Platform;

nlohmann::ordered_json ReportJson(Platform &platform);

}  // namespace sim
