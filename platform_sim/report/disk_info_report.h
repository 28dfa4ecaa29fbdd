// The drives DiskInfoSetupDxe found, read from its private structure through the
// driver's own layout, and the setup form as a user sees it in each of its languages.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <ostream>

namespace sim {

class Platform;

// {"controllers", "ataDisks", "nvmeNamespaces", "opticalDrives", "drives": [{"bus",
// "port" or "namespace", "model", "serial", "firmware" (ATA only)}]}; null before the
// driver published its form protocol.
nlohmann::ordered_json DescribeDiskInfo(Platform &platform);
// The report's drive section from the two descriptions: the counts and form 1 in each
// language ({"language", "lines"} each).
void WriteDiskInfoReport(std::ostream &out, const nlohmann::ordered_json &diskInfo,
                         const nlohmann::ordered_json &forms);

}  // namespace sim
