#include "platform_sim/hii/hii_model.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform_sim/memory/arena.h"

namespace sim {
namespace {

uint32_t Read32(const uint8_t *bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}
void Put32(std::vector<uint8_t> &out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}
void Put16(std::vector<uint8_t> &out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

constexpr size_t kStringHeaderFixed = 46;  // up to the language code

}  // namespace

// A list is taken only when every package lies inside it and every string package parses.
EFI_STATUS HiiModel::Parse(const uint8_t *list, size_t available, PackageList *out) {
  if (list == nullptr || available < sizeof(EFI_HII_PACKAGE_LIST_HEADER)) return EFI_INVALID_PARAMETER;
  const uint32_t length = Read32(list + 16);
  if (length < sizeof(EFI_HII_PACKAGE_LIST_HEADER) || length > available) return EFI_INVALID_PARAMETER;
  std::memcpy(&out->guid, list, sizeof(EFI_GUID));
  size_t offset = sizeof(EFI_HII_PACKAGE_LIST_HEADER);
  while (offset < length) {
    if (length - offset < 4) return EFI_INVALID_PARAMETER;
    const uint32_t header = Read32(list + offset);
    const uint32_t size = header & 0xFFFFFF;
    const uint8_t type = static_cast<uint8_t>(header >> 24);
    if (size < 4 || size > length - offset) return EFI_INVALID_PARAMETER;
    const uint8_t *package = list + offset;
    offset += size;
    if (type == EFI_HII_PACKAGE_END) break;
    if (type != EFI_HII_PACKAGE_STRINGS) {
      out->packages.push_back({type, std::vector<uint8_t>(package, package + size), {}});
      continue;
    }
    if (size < kStringHeaderFixed + 1) return EFI_INVALID_PARAMETER;
    const uint32_t headerSize = Read32(package + 4);
    const uint32_t infoOffset = Read32(package + 8);
    if (headerSize > size || infoOffset > size || headerSize <= kStringHeaderFixed) return EFI_INVALID_PARAMETER;
    const char *languageStart = reinterpret_cast<const char *>(package + kStringHeaderFixed);
    const size_t languageLength = strnlen(languageStart, headerSize - kStringHeaderFixed);
    if (languageLength == headerSize - kStringHeaderFixed) return EFI_INVALID_PARAMETER;
    std::string language(languageStart, languageLength);
    auto &strings = out->strings[language];
    size_t at = infoOffset;
    bool ended = false;
    while (at < size && !ended) {
      const uint8_t block = package[at++];
      switch (block) {
        case EFI_HII_SIBT_END: ended = true; break;
        case EFI_HII_SIBT_STRING_UCS2: {
          std::u16string text;
          for (;;) {
            if (size - at < 2) return EFI_INVALID_PARAMETER;
            char16_t unit;
            std::memcpy(&unit, package + at, 2);
            at += 2;
            if (unit == 0) break;
            text.push_back(unit);
          }
          strings.emplace_back(std::move(text));
          break;
        }
        case EFI_HII_SIBT_SKIP1:
          if (size - at < 1) return EFI_INVALID_PARAMETER;
          strings.resize(strings.size() + package[at++]);
          break;
        case EFI_HII_SIBT_SKIP2: {
          if (size - at < 2) return EFI_INVALID_PARAMETER;
          uint16_t count;
          std::memcpy(&count, package + at, 2);
          at += 2;
          strings.resize(strings.size() + count);
          break;
        }
        default: return EFI_INVALID_PARAMETER;  // a block this model does not keep
      }
    }
    if (!ended) return EFI_INVALID_PARAMETER;
    out->packages.push_back({type, {}, language});
  }
  return EFI_SUCCESS;
}

std::vector<uint8_t> HiiModel::StringPackage(const std::string &language,
                                             const std::vector<std::optional<std::u16string>> &strings) {
  std::vector<uint8_t> out;
  const uint32_t headerSize = static_cast<uint32_t>(kStringHeaderFixed + language.size() + 1);
  Put32(out, 0);  // length and type, filled below
  Put32(out, headerSize);
  Put32(out, headerSize);
  out.resize(out.size() + 32, 0);  // language window
  Put16(out, 0);                   // language name string
  out.insert(out.end(), language.begin(), language.end());
  out.push_back(0);
  for (const auto &text : strings) {
    if (!text) {
      out.push_back(EFI_HII_SIBT_SKIP1);
      out.push_back(1);
      continue;
    }
    out.push_back(EFI_HII_SIBT_STRING_UCS2);
    for (char16_t unit : *text) Put16(out, unit);
    Put16(out, 0);
  }
  out.push_back(EFI_HII_SIBT_END);
  const uint32_t header = static_cast<uint32_t>(out.size()) | (uint32_t{EFI_HII_PACKAGE_STRINGS} << 24);
  std::memcpy(out.data(), &header, 4);
  return out;
}

EFI_STATUS HiiModel::NewPackageList(const std::vector<uint8_t> &list, EFI_HANDLE driver, EFI_HII_HANDLE *handle) {
  if (handle == nullptr) return EFI_INVALID_PARAMETER;
  PackageList parsed;
  EFI_STATUS status = Parse(list.data(), list.size(), &parsed);
  if (status != EFI_SUCCESS) return status;
  parsed.driver = driver;
  // A handle is a distinct address in the arena; nobody reads through it.
  *handle = arena_.AllocateFirmware(8);
  lists_[*handle] = std::move(parsed);
  return EFI_SUCCESS;
}

EFI_STATUS HiiModel::RemovePackageList(EFI_HII_HANDLE handle) {
  return lists_.erase(handle) != 0 ? EFI_SUCCESS : EFI_NOT_FOUND;
}

EFI_STATUS HiiModel::UpdatePackageList(EFI_HII_HANDLE handle, const uint8_t *list, size_t available) {
  auto it = lists_.find(handle);
  if (list == nullptr) return EFI_INVALID_PARAMETER;
  if (it == lists_.end()) return EFI_NOT_FOUND;
  PackageList incoming;
  EFI_STATUS status = Parse(list, available, &incoming);
  if (status != EFI_SUCCESS) return status;
  PackageList &current = it->second;
  std::set<uint8_t> types;
  for (const Package &package : incoming.packages) types.insert(package.type);
  std::vector<Package> kept;
  for (Package &package : current.packages) {
    if (types.count(package.type) == 0) kept.push_back(std::move(package));
  }
  if (types.count(EFI_HII_PACKAGE_STRINGS) != 0) current.strings.clear();
  for (Package &package : incoming.packages) kept.push_back(std::move(package));
  for (auto &[language, strings] : incoming.strings) current.strings[language] = std::move(strings);
  current.packages = std::move(kept);
  ++updates_;
  return EFI_SUCCESS;
}

std::optional<std::vector<uint8_t>> HiiModel::Export(EFI_HII_HANDLE handle) const {
  auto it = lists_.find(handle);
  if (it == lists_.end()) return std::nullopt;
  const PackageList &list = it->second;
  std::vector<uint8_t> out(sizeof(EFI_HII_PACKAGE_LIST_HEADER), 0);
  std::memcpy(out.data(), &list.guid, sizeof(EFI_GUID));
  for (const Package &package : list.packages) {
    if (package.type == EFI_HII_PACKAGE_STRINGS) {
      std::vector<uint8_t> bytes = StringPackage(package.language, list.strings.at(package.language));
      out.insert(out.end(), bytes.begin(), bytes.end());
    } else {
      out.insert(out.end(), package.bytes.begin(), package.bytes.end());
    }
  }
  Put32(out, 4u | (uint32_t{EFI_HII_PACKAGE_END} << 24));
  const uint32_t length = static_cast<uint32_t>(out.size());
  std::memcpy(out.data() + 16, &length, 4);
  return out;
}

EFI_STATUS HiiModel::NewString(EFI_HII_HANDLE handle, EFI_STRING_ID *id, const std::string &language,
                               const std::u16string &text) {
  auto it = lists_.find(handle);
  if (it == lists_.end()) return EFI_NOT_FOUND;
  PackageList &list = it->second;
  // A language the list does not have yet gets its own string package.
  if (list.strings.count(language) == 0) {
    list.strings[language];
    list.packages.push_back({EFI_HII_PACKAGE_STRINGS, {}, language});
  }
  size_t next = 0;
  for (const auto &[name, strings] : list.strings) next = std::max(next, strings.size());
  if (next + 1 > 0xFFFF) return EFI_OUT_OF_RESOURCES;
  // The new ID is reserved in every language; only this one holds the text.
  for (auto &[name, strings] : list.strings) strings.resize(next + 1);
  list.strings[language][next] = text;
  *id = static_cast<EFI_STRING_ID>(next + 1);
  return EFI_SUCCESS;
}

EFI_STATUS HiiModel::GetString(const std::string &language, EFI_HII_HANDLE handle, EFI_STRING_ID id,
                               std::u16string *text) const {
  auto it = lists_.find(handle);
  if (it == lists_.end()) return EFI_NOT_FOUND;
  auto strings = it->second.strings.find(language);
  if (strings == it->second.strings.end()) return EFI_INVALID_LANGUAGE;
  if (id == 0 || id > strings->second.size() || !strings->second[id - 1]) return EFI_NOT_FOUND;
  *text = *strings->second[id - 1];
  return EFI_SUCCESS;
}

EFI_STATUS HiiModel::SetString(EFI_HII_HANDLE handle, EFI_STRING_ID id, const std::string &language,
                               const std::u16string &text) {
  auto it = lists_.find(handle);
  if (it == lists_.end()) return EFI_NOT_FOUND;
  auto strings = it->second.strings.find(language);
  if (strings == it->second.strings.end()) return EFI_NOT_FOUND;
  if (id == 0 || id > strings->second.size()) return EFI_NOT_FOUND;
  strings->second[id - 1] = text;
  return EFI_SUCCESS;
}

std::optional<std::string> HiiModel::Languages(EFI_HII_HANDLE handle) const {
  auto it = lists_.find(handle);
  if (it == lists_.end()) return std::nullopt;
  std::string result;
  for (const Package &package : it->second.packages) {
    if (package.type != EFI_HII_PACKAGE_STRINGS) continue;
    if (!result.empty()) result += ';';
    result += package.language;
  }
  return result;
}

size_t HiiModel::StringCount(EFI_HII_HANDLE handle, const std::string &language) const {
  auto it = lists_.find(handle);
  if (it == lists_.end()) return 0;
  auto strings = it->second.strings.find(language);
  return strings == it->second.strings.end() ? 0 : strings->second.size();
}

std::vector<EFI_HII_HANDLE> HiiModel::Handles(const EFI_GUID &guid) const {
  std::vector<EFI_HII_HANDLE> result;
  for (const auto &[handle, list] : lists_) {
    if (std::memcmp(&list.guid, &guid, sizeof(guid)) == 0) result.push_back(handle);
  }
  return result;
}

std::vector<std::vector<uint8_t>> HiiModel::FormsPackages(EFI_HII_HANDLE handle) const {
  std::vector<std::vector<uint8_t>> result;
  auto it = lists_.find(handle);
  if (it == lists_.end()) return result;
  for (const Package &package : it->second.packages) {
    if (package.type == EFI_HII_PACKAGE_FORMS) result.push_back(package.bytes);
  }
  return result;
}

}  // namespace sim
