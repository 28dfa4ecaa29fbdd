#include <nlohmann/json.hpp>

#include "platform_sim/devices/trace_hub.h"

namespace sim {

nlohmann::ordered_json TraceHub::Describe() {
  nlohmann::ordered_json messages = nlohmann::ordered_json::array();
  for (const TraceHubMessage &message : Messages()) messages.push_back(DescribeTraceHubMessage(message));
  return messages;
}

}  // namespace sim
