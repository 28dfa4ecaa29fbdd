// UEFI variables. Non-volatile ones survive a reset; volatile ones are dropped.
// Sizes are those of a common variable store: each variable takes a 32-byte header,
// its NUL-terminated name and its data; one variable may take at most
// maxVariableSize, and the non-volatile and volatile stores each have a capacity.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform_sim/firmware/guid_util.h"
#include "runtime/uefi/types.h"

namespace sim {

struct Variable {
  std::u16string name;
  EFI_GUID guid{};
  uint32_t attributes = 0;
  std::vector<uint8_t> data;
};

struct VariableLimits {
  uint64_t maxVariableSize = 0x2000;
  uint64_t nonVolatileStore = 0x10000;
  uint64_t volatileStore = 0x10000;
};

class VariableStore {
 public:
  static constexpr uint64_t kHeaderSize = 32;

  EFI_STATUS Get(const CHAR16 *name, const EFI_GUID *guid, uint32_t *attributes, UINTN *dataSize, void *data) const;
  // Also EFI_VARIABLE_APPEND_WRITE; a rewrite (or a deletion with non-zero attributes)
  // must give the variable's own attributes.
  EFI_STATUS Set(const CHAR16 *name, const EFI_GUID *guid, uint32_t attributes, UINTN dataSize, const void *data);
  // The variable after (name, guid) in the store's order; an empty name starts.
  // `nameSize` is in bytes, as the service has it.
  EFI_STATUS GetNextName(UINTN *nameSize, CHAR16 *name, EFI_GUID *guid) const;
  // Storage for variables of these attributes: capacity, what is left, the largest one.
  EFI_STATUS Query(uint32_t attributes, uint64_t *maximumStorage, uint64_t *remainingStorage,
                   uint64_t *maximumVariable) const;
  VariableLimits &Limits() { return limits_; }

  const Variable *Find(const std::u16string &name, const EFI_GUID &guid) const;
  void Put(Variable variable);  // seeds a variable directly (platform profiles, tests)
  void DropVolatile();
  std::vector<Variable> All() const;
  // Every variable in the store's order: name, GUID (by name when known), attributes,
  // size and the data as hex.
  nlohmann::ordered_json Describe() const;

  // Makes every write of this variable fail with the status (fault injection).
  void FailWrites(const std::u16string &name, EFI_STATUS status) { failures_[name] = status; }
  // Makes every read of this variable fail with the status (fault injection).
  void FailReads(const std::u16string &name, EFI_STATUS status) { readFailures_[name] = status; }

 private:
  static uint64_t Footprint(const Variable &variable) {
    return kHeaderSize + (variable.name.size() + 1) * sizeof(char16_t) + variable.data.size();
  }
  uint64_t Used(bool nonVolatile) const;
  using Key = std::pair<std::u16string, std::string>;
  static Key MakeKey(const std::u16string &name, const EFI_GUID &guid) { return {name, GuidText(guid)}; }
  std::map<Key, Variable> variables_;
  std::map<std::u16string, EFI_STATUS> failures_;
  std::map<std::u16string, EFI_STATUS> readFailures_;
  VariableLimits limits_;
};

}  // namespace sim
