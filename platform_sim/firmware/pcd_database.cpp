#include "platform_sim/firmware/pcd_database.h"

#include <cstring>

#include "platform_sim/firmware/guid_util.h"

namespace sim {

std::string PcdDatabase::SpaceKey(const EFI_GUID &space) { return GuidText(space); }

void PcdDatabase::Define(UINTN token, std::vector<uint8_t> value, bool persistent) {
  byNumber_[token] = PcdEntry{token, value, value, persistent};
}

PcdEntry *PcdDatabase::Find(UINTN token) {
  auto it = byNumber_.find(token);
  return it == byNumber_.end() ? nullptr : &it->second;
}

void PcdDatabase::Define(const EFI_GUID &space, UINTN token, std::vector<uint8_t> value, bool persistent) {
  if (PcdEntry *existing = Find(space, token)) {
    *existing = PcdEntry{token, value, value, persistent};
    return;
  }
  bySpace_[SpaceKey(space)].push_back(PcdEntry{token, value, value, persistent});
}

PcdEntry *PcdDatabase::Find(const EFI_GUID &space, UINTN token) {
  auto it = bySpace_.find(SpaceKey(space));
  if (it == bySpace_.end()) return nullptr;
  for (PcdEntry &entry : it->second) {
    if (entry.token == token) return &entry;
  }
  return nullptr;
}

std::optional<UINTN> PcdDatabase::Next(const EFI_GUID &space, UINTN token) {
  auto it = bySpace_.find(SpaceKey(space));
  if (it == bySpace_.end() || it->second.empty()) return std::nullopt;
  const auto &entries = it->second;
  if (token == 0) return entries.front().token;
  for (size_t index = 0; index < entries.size(); ++index) {
    if (entries[index].token != token) continue;
    if (index + 1 == entries.size()) return std::nullopt;
    return entries[index + 1].token;
  }
  return std::nullopt;
}

uint64_t PcdDatabase::Number(PcdEntry *entry) const {
  if (entry == nullptr) return 0;
  uint64_t value = 0;
  std::memcpy(&value, entry->value.data(), std::min<size_t>(entry->value.size(), sizeof(value)));
  return value;
}

void PcdDatabase::SetNumber(PcdEntry &entry, uint64_t value, unsigned width) {
  entry.value.resize(width);
  std::memcpy(entry.value.data(), &value, width);
}

void PcdDatabase::StartBoot() {
  for (auto &[token, entry] : byNumber_) {
    if (!entry.persistent) entry.value = entry.initial;
  }
  for (auto &[space, entries] : bySpace_) {
    for (PcdEntry &entry : entries) {
      if (!entry.persistent) entry.value = entry.initial;
    }
  }
}

}  // namespace sim
