#include "platform_sim/flash/flash_report.h"

#include <nlohmann/json.hpp>

#include "platform_sim/firmware/pcd_database.h"
#include "platform_sim/flash/flash_platforms.h"
#include "runtime/uefi/guids.h"

namespace sim {

namespace {
std::string Name(PcdDatabase &pcds, const EFI_GUID &space, UINTN token) {
  PcdEntry *entry = pcds.Find(space, token);
  if (entry == nullptr) return "";
  std::string text(entry->value.begin(), entry->value.end());
  return text.substr(0, text.find('\0'));
}
}  // namespace

nlohmann::ordered_json DescribeChosenFlashDevice(PcdDatabase &pcds) {
  PcdEntry *chosen = pcds.Find(kChosenFlashToken);
  if (chosen == nullptr) return nullptr;
  const auto token = static_cast<UINTN>(pcds.Number(chosen));
  nlohmann::ordered_json device = {{"pcd", kChosenFlashToken}, {"token", token}};
  if (token != 0) {
    device["firstName"] = Name(pcds, gFlashFirstNameTokenSpaceGuid, token);
    device["secondName"] = Name(pcds, gFlashSecondNameTokenSpaceGuid, token);
  }
  return device;
}

}  // namespace sim
