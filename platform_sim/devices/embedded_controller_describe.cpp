#include <nlohmann/json.hpp>

#include "platform_sim/devices/embedded_controller.h"
#include "platform_sim/trace/hex_text.h"

namespace sim {

nlohmann::ordered_json EmbeddedController::Describe() const {
  nlohmann::ordered_json transactions = nlohmann::ordered_json::array();
  for (const EcTransaction &transaction : transactions_) {
    transactions.push_back({{"command", HexByte(transaction.command)},
                            {"data", HexBytes(transaction.data)},
                            {"answer", transaction.answer ? nlohmann::ordered_json(HexByte(*transaction.answer))
                                                          : nlohmann::ordered_json(nullptr)}});
  }
  return {{"taken", HexBytes(Wire())}, {"lost", HexBytes(LostBytes())}, {"transactions", transactions}};
}

}  // namespace sim
