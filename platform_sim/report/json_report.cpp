#include "platform_sim/report/json_report.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/flash/flash_report.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"
#include "platform_sim/report/disk_info_report.h"
#include "platform_sim/report/power_event_log_report.h"
#include "platform_sim/report/s3_boot_script_record.h"
#include "platform_sim/report/symbolic_address.h"
#include "platform_sim/trace/hex_text.h"

namespace sim {

using json = nlohmann::ordered_json;

namespace {

// What a pointer points at, when it is something the platform handed out by name.
std::string Target(Platform &platform, uint64_t value) {
  if (value == reinterpret_cast<uint64_t>(platform.SystemTable()->RuntimeServices)) return "runtime services";
  if (value == reinterpret_cast<uint64_t>(platform.SystemTable()->BootServices)) return "boot services";
  for (const HandleRecord &handle : platform.Core().Protocols().Handles()) {
    for (const ProtocolEntry &entry : handle.protocols) {
      if (entry.interface != nullptr && reinterpret_cast<uint64_t>(entry.interface) == value) {
        return GuidName(entry.guid) + " interface";
      }
    }
  }
  return "";
}

// The pointer variables registered for conversion at the change to virtual addressing,
// and the conversions made there.
json AddressFixups(Platform &platform, const AddressNames &names) {
  const uint32_t boot = platform.BootNumber();
  json registrations = json::array();
  for (const PointerRegistration &registration : platform.Core().AddressFixups().Registrations()) {
    uint64_t value = 0;
    std::memcpy(&value, reinterpret_cast<const void *>(registration.variable), sizeof(value));
    registrations.push_back({{"variable", names.Name(registration.variable, boot)},
                             {"owner", registration.owner},
                             {"holds", names.Name(value, boot)},
                             {"target", Target(platform, value)}});
  }
  json conversions = json::array();
  for (const PointerConversion &conversion : platform.Core().VirtualAddresses().Conversions()) {
    conversions.push_back({{"caller", conversion.caller},
                           {"variable", names.Name(conversion.variable, boot)},
                           {"holds", names.Name(conversion.value, boot)},
                           {"target", Target(platform, conversion.value)},
                           {"status", StatusText(conversion.status)}});
  }
  return {{"registrations", registrations}, {"conversions", conversions}};
}

json DriverAllocations(Platform &platform) {
  json blocks = json::array();
  for (const Allocation &block : platform.Memory().DriverAllocations()) {
    blocks.push_back(
        {{"address", HexNumber(block.address)}, {"size", block.size}, {"memoryType", MemoryTypeName(block.type)}});
  }
  return blocks;
}

}  // namespace

json ReportJson(Platform &platform) {
  json report;
  report["platform"] = platform.Profile().name;
  report["tscHz"] = platform.Profile().tscHz;
  report["boots"] = platform.BootNumber();
  report["strict"] = platform.Strict();
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
  report["variables"] = platform.Variables().Describe();
  report["cmos"] = {{"bank2", platform.Cmos2().Describe()}};
  report["ec"] = platform.Ec().Describe();
  report["postCodes"] = platform.PostCodes().Describe();
  report["traceHub"] = platform.TraceHubWindow().Describe();

  json flash = platform.Flash().Describe();
  flash["chosen"] = DescribeChosenFlashDevice(platform.Pcds());
  flash["operations"] = flashOperations;
  report["flash"] = flash;
  report["log"] = platform.Flash().Present() ? DescribePowerEventLog(PowerEventLogBytes(platform)) : json(nullptr);
  report["disks"] = DescribeDiskInfo(platform);
  report["forms"] = SetupForm::Describe(platform);
  report["images"] = platform.Images().Describe();
  report["addressFixups"] = AddressFixups(platform, names);
  report["s3BootScript"] = DescribeS3BootScriptRecord(platform);
  json boxes = platform.Core().LockBoxes().Describe();
  for (json &box : boxes) box["source"] = names.Rewrite(box["source"].get<std::string>(), platform.BootNumber());
  report["lockBoxes"] = boxes;
  report["sx"] = platform.Core().SxDispatch().Describe();
  report["driverAllocations"] = DriverAllocations(platform);
  return report;
}

}  // namespace sim
