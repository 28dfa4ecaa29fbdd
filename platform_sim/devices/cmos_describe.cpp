#include <nlohmann/json.hpp>

#include "platform_sim/devices/cmos.h"
#include "platform_sim/trace/hex_text.h"

namespace sim {

nlohmann::ordered_json CmosBank::Describe() const {
  nlohmann::ordered_json bytes = nlohmann::ordered_json::object();
  for (unsigned index = 0; index <= mask_; ++index) {
    if (bytes_[index] != 0) bytes[HexByte(static_cast<uint8_t>(index))] = HexByte(bytes_[index]);
  }
  return bytes;
}

}  // namespace sim
