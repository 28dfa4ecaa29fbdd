// What the "form" command prints: the drives DiskInfoSetupDxe found and form 1 of the
// setup form in every language of its package list.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <ostream>
#include <string>

#include "runtime/uefi/types.h"

namespace sim {
class Platform;
}

namespace simulator {

// {"platform", "ok", "problems", "fillForm", "disks", "languages", "forms", "images",
// "findings"};
// not ok when no setup form could be shown.
nlohmann::ordered_json FormJson(sim::Platform &platform, bool ok, const std::string &problems, EFI_STATUS fillForm);
void WriteFormReport(std::ostream &out, const nlohmann::ordered_json &form);

}  // namespace simulator
