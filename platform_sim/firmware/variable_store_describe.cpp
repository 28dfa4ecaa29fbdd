#include <nlohmann/json.hpp>

#include "platform_sim/firmware/variable_store.h"
#include "platform_sim/trace/hex_text.h"

namespace sim {

nlohmann::ordered_json VariableStore::Describe() const {
  nlohmann::ordered_json variables = nlohmann::ordered_json::array();
  for (const auto &[key, variable] : variables_) {
    variables.push_back({{"name", Ucs2ToUtf8(variable.name.c_str())},
                         {"guid", GuidName(variable.guid)},
                         {"attributes", variable.attributes},
                         {"size", variable.data.size()},
                         {"data", HexBytes(variable.data)}});
  }
  return variables;
}

}  // namespace sim
