#include <nlohmann/json.hpp>

#include "platform_sim/flash/flash_hardware.h"

namespace sim {

nlohmann::ordered_json FlashHardware::Describe() {
  return {{"part", Description()}, {"erases", monitor_.Erases()}, {"programs", monitor_.Programs()}};
}

}  // namespace sim
