// The S3 boot-script private record the drivers share, found through its PCD and read
// through the drivers' own layout.
#pragma once

#include <nlohmann/json_fwd.hpp>

namespace sim {

class Platform;

// {"address", "memoryType", "table", "bytesUsed", "pages", "closed"}; null when the PCD
// holds no address of an allocated block large enough for the record.
nlohmann::ordered_json DescribeS3BootScriptRecord(Platform &platform);

}  // namespace sim
