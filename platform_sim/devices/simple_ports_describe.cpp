#include <nlohmann/json.hpp>

#include "platform_sim/devices/simple_ports.h"
#include "platform_sim/trace/hex_text.h"

namespace sim {

nlohmann::ordered_json PostCodePort::Describe() const {
  nlohmann::ordered_json codes = nlohmann::ordered_json::array();
  for (const PostCodeWrite &code : codes_) {
    codes.push_back({{"value", HexNumber(code.value, static_cast<int>(code.width * 2))}, {"bits", code.width * 8}});
  }
  return codes;
}

}  // namespace sim
