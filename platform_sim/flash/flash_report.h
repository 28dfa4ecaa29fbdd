// The flash device the drivers chose, as the report shows it.
#pragma once

#include <nlohmann/json_fwd.hpp>

namespace sim {

class PcdDatabase;

// PCD token 433 and, once a device is chosen, the two names of its candidate:
// {"pcd": 433, "token": 17, "firstName": "W25Q128JV", "secondName": "Winbond"}
// (token 0: none chosen yet); null when the platform has no such PCD.
nlohmann::ordered_json DescribeChosenFlashDevice(PcdDatabase &pcds);

}  // namespace sim
