#include <nlohmann/json.hpp>

#include "platform_sim/smm/sx_dispatcher.h"

namespace sim {

nlohmann::ordered_json SxDispatcher::Describe() const {
  nlohmann::ordered_json registrations = nlohmann::ordered_json::array();
  for (const Registration &registration : registrations_) {
    registrations.push_back({{"state", "S" + std::to_string(static_cast<int>(registration.context->Type))},
                             {"phase", registration.context->Phase == SxEntry ? "entry" : "exit"},
                             {"owner", registration.owner}});
  }
  return registrations;
}

}  // namespace sim
