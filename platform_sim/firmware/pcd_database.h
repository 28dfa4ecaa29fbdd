// The platform configuration database: values by token number (the firmware's PCD
// protocol) and by token space and number (EFI_PCD_PROTOCOL). Values marked persistent
// survive a reset; the others return to their initial value at every boot.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/uefi/types.h"

namespace sim {

struct PcdEntry {
  UINTN token = 0;
  std::vector<uint8_t> value;
  std::vector<uint8_t> initial;
  bool persistent = false;
};

class PcdDatabase {
 public:
  // Token-number space.
  void Define(UINTN token, std::vector<uint8_t> value, bool persistent = false);
  PcdEntry *Find(UINTN token);
  // Token spaces keep the order in which tokens were defined: that is their walk order.
  void Define(const EFI_GUID &space, UINTN token, std::vector<uint8_t> value, bool persistent = false);
  PcdEntry *Find(const EFI_GUID &space, UINTN token);
  // The token after `token` in its space (0 asks for the first); nullopt at the end or
  // for an unknown token.
  std::optional<UINTN> Next(const EFI_GUID &space, UINTN token);

  uint64_t Number(PcdEntry *entry) const;
  void SetNumber(PcdEntry &entry, uint64_t value, unsigned width);

  void StartBoot();  // volatile entries return to their initial values

 private:
  static std::string SpaceKey(const EFI_GUID &space);
  std::map<UINTN, PcdEntry> byNumber_;
  std::map<std::string, std::vector<PcdEntry>> bySpace_;
};

}  // namespace sim
