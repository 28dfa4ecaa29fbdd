#include "platform_sim/firmware/variable_store.h"

#include <cstring>

#include "runtime/uefi/status.h"

namespace sim {

namespace {
constexpr uint32_t kKnownAttributes =
    EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS;
}

EFI_STATUS VariableStore::Get(const CHAR16 *name, const EFI_GUID *guid, uint32_t *attributes, UINTN *dataSize,
                              void *data) const {
  if (name == nullptr || guid == nullptr || dataSize == nullptr || name[0] == 0) return EFI_INVALID_PARAMETER;
  const Variable *variable = Find(std::u16string(name), *guid);
  if (variable == nullptr) return EFI_NOT_FOUND;
  if (*dataSize < variable->data.size()) {
    *dataSize = variable->data.size();
    return EFI_BUFFER_TOO_SMALL;
  }
  if (data == nullptr && !variable->data.empty()) return EFI_INVALID_PARAMETER;
  *dataSize = variable->data.size();
  if (!variable->data.empty()) std::memcpy(data, variable->data.data(), variable->data.size());
  if (attributes != nullptr) *attributes = variable->attributes;
  return EFI_SUCCESS;
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
  auto it = variables_.find(MakeKey(key, *guid));
  bool remove = dataSize == 0 || (attributes & (EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS)) == 0;
  if (remove) {
    if (it == variables_.end()) return EFI_NOT_FOUND;
    variables_.erase(it);
    return EFI_SUCCESS;
  }
  if (it != variables_.end() && it->second.attributes != attributes) return EFI_INVALID_PARAMETER;
  Variable variable{key, *guid, attributes, {}};
  variable.data.assign(static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + dataSize);
  variables_[MakeKey(key, *guid)] = std::move(variable);
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
