#include "platform_sim/firmware/variable_store.h"

#include <cstring>

#include "runtime/uefi/status.h"

namespace sim {

namespace {
constexpr uint32_t kKnownAttributes = EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS |
                                      EFI_VARIABLE_RUNTIME_ACCESS | EFI_VARIABLE_APPEND_WRITE;
constexpr uint32_t kAccess = EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS;
}  // namespace

EFI_STATUS VariableStore::Get(const CHAR16 *name, const EFI_GUID *guid, uint32_t *attributes, UINTN *dataSize,
                              void *data) const {
  if (name == nullptr || guid == nullptr || dataSize == nullptr || name[0] == 0) return EFI_INVALID_PARAMETER;
  if (auto failure = readFailures_.find(std::u16string(name)); failure != readFailures_.end()) {
    return failure->second;
  }
  const Variable *variable = Find(std::u16string(name), *guid);
  if (variable == nullptr) return EFI_NOT_FOUND;
  // The attributes come back with EFI_BUFFER_TOO_SMALL too.
  if (attributes != nullptr) *attributes = variable->attributes;
  if (*dataSize < variable->data.size()) {
    *dataSize = variable->data.size();
    return EFI_BUFFER_TOO_SMALL;
  }
  if (data == nullptr && !variable->data.empty()) return EFI_INVALID_PARAMETER;
  *dataSize = variable->data.size();
  if (!variable->data.empty()) std::memcpy(data, variable->data.data(), variable->data.size());
  return EFI_SUCCESS;
}

uint64_t VariableStore::Used(bool nonVolatile) const {
  uint64_t used = 0;
  for (const auto &[key, variable] : variables_) {
    if (((variable.attributes & EFI_VARIABLE_NON_VOLATILE) != 0) == nonVolatile) used += Footprint(variable);
  }
  return used;
}

EFI_STATUS VariableStore::Set(const CHAR16 *name, const EFI_GUID *guid, uint32_t attributes, UINTN dataSize,
                              const void *data) {
  if (name == nullptr || guid == nullptr || name[0] == 0) return EFI_INVALID_PARAMETER;
  std::u16string key(name);
  if (auto failure = failures_.find(key); failure != failures_.end()) return failure->second;
  if ((attributes & ~kKnownAttributes) != 0) return EFI_INVALID_PARAMETER;
  // Runtime access without boot-service access is not a valid combination.
  if ((attributes & EFI_VARIABLE_RUNTIME_ACCESS) != 0 && (attributes & EFI_VARIABLE_BOOTSERVICE_ACCESS) == 0) {
    return EFI_INVALID_PARAMETER;
  }
  if (dataSize != 0 && data == nullptr) return EFI_INVALID_PARAMETER;
  bool append = (attributes & EFI_VARIABLE_APPEND_WRITE) != 0;
  uint32_t stored = attributes & ~EFI_VARIABLE_APPEND_WRITE;
  if (kHeaderSize + (key.size() + 1) * sizeof(char16_t) + dataSize > limits_.maxVariableSize) {
    return EFI_INVALID_PARAMETER;
  }
  auto it = variables_.find(MakeKey(key, *guid));
  // A rewrite, or a deletion that names attributes, must name the variable's own.
  if (it != variables_.end() && stored != 0 && stored != it->second.attributes) return EFI_INVALID_PARAMETER;
  if (append && dataSize == 0) return EFI_SUCCESS;  // nothing to append: unchanged
  bool remove = !append && (dataSize == 0 || (stored & kAccess) == 0);
  if (remove) {
    if (it == variables_.end()) return EFI_NOT_FOUND;
    variables_.erase(it);
    return EFI_SUCCESS;
  }
  if ((stored & kAccess) == 0) return EFI_INVALID_PARAMETER;  // appending to nothing visible
  Variable variable{key, *guid, stored, {}};
  if (append && it != variables_.end()) variable.data = it->second.data;
  variable.data.insert(variable.data.end(), static_cast<const uint8_t *>(data),
                       static_cast<const uint8_t *>(data) + dataSize);
  if (Footprint(variable) > limits_.maxVariableSize) return EFI_INVALID_PARAMETER;
  bool nonVolatile = (stored & EFI_VARIABLE_NON_VOLATILE) != 0;
  uint64_t others = Used(nonVolatile) - (it == variables_.end() ? 0 : Footprint(it->second));
  if (others + Footprint(variable) > (nonVolatile ? limits_.nonVolatileStore : limits_.volatileStore)) {
    return EFI_OUT_OF_RESOURCES;
  }
  variables_[MakeKey(key, *guid)] = std::move(variable);
  return EFI_SUCCESS;
}

EFI_STATUS VariableStore::GetNextName(UINTN *nameSize, CHAR16 *name, EFI_GUID *guid) const {
  if (nameSize == nullptr || name == nullptr || guid == nullptr) return EFI_INVALID_PARAMETER;
  // The name given must end within the buffer the caller describes.
  UINTN length = 0;
  while (length * sizeof(CHAR16) < *nameSize && name[length] != 0) ++length;
  if (length * sizeof(CHAR16) >= *nameSize) return EFI_INVALID_PARAMETER;
  auto it = variables_.begin();
  if (length != 0) {
    it = variables_.find(MakeKey(std::u16string(name, length), *guid));
    if (it == variables_.end()) return EFI_INVALID_PARAMETER;
    ++it;
  }
  if (it == variables_.end()) return EFI_NOT_FOUND;
  UINTN needed = (it->second.name.size() + 1) * sizeof(CHAR16);
  if (*nameSize < needed) {
    *nameSize = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  std::memcpy(name, it->second.name.c_str(), needed);
  *guid = it->second.guid;
  *nameSize = needed;
  return EFI_SUCCESS;
}

EFI_STATUS VariableStore::Query(uint32_t attributes, uint64_t *maximumStorage, uint64_t *remainingStorage,
                                uint64_t *maximumVariable) const {
  if (maximumStorage == nullptr || remainingStorage == nullptr || maximumVariable == nullptr || attributes == 0 ||
      (attributes & ~kKnownAttributes) != 0 || (attributes & kAccess) == 0) {
    return EFI_INVALID_PARAMETER;
  }
  bool nonVolatile = (attributes & EFI_VARIABLE_NON_VOLATILE) != 0;
  *maximumStorage = nonVolatile ? limits_.nonVolatileStore : limits_.volatileStore;
  *remainingStorage = *maximumStorage - Used(nonVolatile);
  *maximumVariable = limits_.maxVariableSize - kHeaderSize;
  return EFI_SUCCESS;
}

const Variable *VariableStore::Find(const std::u16string &name, const EFI_GUID &guid) const {
  auto it = variables_.find(MakeKey(name, guid));
  return it == variables_.end() ? nullptr : &it->second;
}

void VariableStore::Put(Variable variable) { variables_[MakeKey(variable.name, variable.guid)] = std::move(variable); }

void VariableStore::DropVolatile() {
  for (auto it = variables_.begin(); it != variables_.end();) {
    if ((it->second.attributes & EFI_VARIABLE_NON_VOLATILE) == 0) {
      it = variables_.erase(it);
    } else {
      ++it;
    }
  }
}

std::vector<Variable> VariableStore::All() const {
  std::vector<Variable> result;
  for (const auto &[key, variable] : variables_) result.push_back(variable);
  return result;
}

}  // namespace sim
