#include "platform_sim/report/json_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "platform_sim/report/power_event_log_report.h"
#include "platform_sim/report/symbolic_address.h"

namespace sim {

using json = nlohmann::ordered_json;

namespace {

std::string Byte(uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof(text), "0x%02X", value);
  return text;
}

std::string HexBytes(const std::vector<uint8_t> &bytes) {
  std::string text;
  char pair[4];
  for (size_t index = 0; index < bytes.size(); ++index) {
    std::snprintf(pair, sizeof(pair), "%02X", bytes[index]);
    if (index) text += ' ';
    text += pair;
  }
  return text;
}

json PowerEventLogJson(Platform &platform) {
  if (!platform.Flash().Present()) return nullptr;
  const DecodedPowerEventLog log = DecodePowerEventLog(PowerEventLogBytes(platform));
  char freeMap[24];
  std::snprintf(freeMap, sizeof(freeMap), "0x%016llX", static_cast<unsigned long long>(log.freeMap));
  json entries = json::array();
  for (const PowerEventEntry &entry : log.used) {
    entries.push_back({{"slot", entry.slot},
                       {"time", PowerEventTime(entry)},
                       {"event", entry.event},
                       {"name", PowerEventName(entry.event)}});
  }
  return {{"signature", log.signature},
          {"provisioned", log.provisioned},
          {"freeMap", freeMap},
          {"slots", PowerEventLogSlots()},
          {"entries", entries}};
}

}  // namespace

json ReportJson(Platform &platform) {
  json report;
  report["platform"] = platform.Profile().name;
  report["boots"] = platform.BootNumber();
  const AddressNames names(platform);
  json effects = json::array();
  json flashOperations = json::array();
  json findings = json::array();
  for (const Effect &effect : platform.Trace().All()) {
    json item = {{"boot", effect.boot},
                 {"kind", EffectKindName(effect.kind)},
                 {"actor", effect.actor},
                 {"what", names.Rewrite(effect.what, effect.boot)}};
    if (effect.kind == EffectKind::FlashOperation) flashOperations.push_back(item);
    if (effect.kind == EffectKind::Finding || effect.kind == EffectKind::Fault) findings.push_back(item);
    effects.push_back(std::move(item));
  }
  report["effects"] = effects;
  report["findings"] = findings;

  json variables = json::array();
  for (const Variable &variable : platform.Variables().All()) {
    variables.push_back({{"name", Ucs2ToUtf8(variable.name.c_str())},
                         {"guid", GuidName(variable.guid)},
                         {"attributes", variable.attributes},
                         {"size", variable.data.size()},
                         {"data", HexBytes(variable.data)}});
  }
  report["variables"] = variables;

  json bank2 = json::object();
  for (unsigned index = 0; index < 256; ++index) {
    const uint8_t value = platform.Cmos2().Get(static_cast<uint8_t>(index));
    if (value != 0) bank2[Byte(static_cast<uint8_t>(index))] = Byte(value);
  }
  report["cmos"] = {{"bank2", bank2}};

  json transactions = json::array();
  for (const EcTransaction &transaction : platform.Ec().Transactions()) {
    transactions.push_back({{"command", Byte(transaction.command)},
                            {"data", HexBytes(transaction.data)},
                            {"answer", transaction.answer ? json(Byte(*transaction.answer)) : json(nullptr)}});
  }
  report["ec"] = {{"taken", HexBytes(platform.Ec().Wire())},
                  {"lost", HexBytes(platform.Ec().LostBytes())},
                  {"transactions", transactions}};

  report["flash"] = {{"part", platform.Flash().Description()},
                     {"erases", platform.Flash().Monitor().Erases()},
                     {"programs", platform.Flash().Monitor().Programs()},
                     {"operations", flashOperations}};
  report["log"] = PowerEventLogJson(platform);

  json images = json::array();
  for (const LoadedImage &image : platform.Images().Loaded()) {
    images.push_back({{"name", image.name},
                      {"entry", image.entryReturned ? json(StatusText(image.entryStatus)) : json(nullptr)},
                      {"unloaded", image.unloaded}});
  }
  report["images"] = images;
  return report;
}

}  // namespace sim
