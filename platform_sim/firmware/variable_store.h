// UEFI variables. Non-volatile ones survive a reset; volatile ones are dropped.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform_sim/firmware/guid_util.h"
#include "runtime/uefi/types.h"

namespace sim {

struct Variable {
  std::u16string name;
  EFI_GUID guid{};
  uint32_t attributes = 0;
  std::vector<uint8_t> data;
};

class VariableStore {
 public:
  EFI_STATUS Get(const CHAR16 *name, const EFI_GUID *guid, uint32_t *attributes, UINTN *dataSize, void *data) const;
  EFI_STATUS Set(const CHAR16 *name, const EFI_GUID *guid, uint32_t attributes, UINTN dataSize, const void *data);

  const Variable *Find(const std::u16string &name, const EFI_GUID &guid) const;
  void Put(Variable variable);  // seeds a variable directly (platform profiles, tests)
  void DropVolatile();
  std::vector<Variable> All() const;

  // Makes every write of this variable fail with the status (fault injection).
  void FailWrites(const std::u16string &name, EFI_STATUS status) { failures_[name] = status; }

 private:
  using Key = std::pair<std::u16string, std::string>;
  static Key MakeKey(const std::u16string &name, const EFI_GUID &guid) { return {name, GuidText(guid)}; }
  std::map<Key, Variable> variables_;
  std::map<std::u16string, EFI_STATUS> failures_;
};

}  // namespace sim
