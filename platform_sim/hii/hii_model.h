// The HII database of one boot: package lists with their string packages (one per
// language) and their other packages (forms, fonts, ...) kept as the bytes they came in.
// The HII String and HII Database protocols are views of it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/uefi/hii.h"
#include "runtime/uefi/status.h"

namespace sim {

class Arena;

class HiiModel {
 public:
  explicit HiiModel(Arena &arena) : arena_(arena) {}

  // Database.
  EFI_STATUS NewPackageList(const std::vector<uint8_t> &list, EFI_HANDLE driver, EFI_HII_HANDLE *handle);
  EFI_STATUS RemovePackageList(EFI_HII_HANDLE handle);
  // Packages of each type the new list holds replace the old ones of that type.
  EFI_STATUS UpdatePackageList(EFI_HII_HANDLE handle, const uint8_t *list, size_t available);
  // The list as one buffer (header, packages, end package).
  std::optional<std::vector<uint8_t>> Export(EFI_HII_HANDLE handle) const;
  bool Exists(EFI_HII_HANDLE handle) const { return lists_.count(handle) != 0; }
  uint32_t Updates() const { return updates_; }

  // Strings.
  EFI_STATUS NewString(EFI_HII_HANDLE handle, EFI_STRING_ID *id, const std::string &language,
                       const std::u16string &text);
  EFI_STATUS GetString(const std::string &language, EFI_HII_HANDLE handle, EFI_STRING_ID id,
                       std::u16string *text) const;
  EFI_STATUS SetString(EFI_HII_HANDLE handle, EFI_STRING_ID id, const std::string &language,
                       const std::u16string &text);
  // "en-US;fr-FR": the languages of the list's string packages in their order.
  std::optional<std::string> Languages(EFI_HII_HANDLE handle) const;
  size_t StringCount(EFI_HII_HANDLE handle, const std::string &language) const;

  // The handles of the lists with this GUID, in registration order.
  std::vector<EFI_HII_HANDLE> Handles(const EFI_GUID &guid) const;
  // The forms packages of a list, as stored.
  std::vector<std::vector<uint8_t>> FormsPackages(EFI_HII_HANDLE handle) const;

  // The protocol interfaces, in the arena.
  EFI_HII_STRING_PROTOCOL *StringProtocol();
  EFI_HII_DATABASE_PROTOCOL *DatabaseProtocol();

 private:
  struct Package {
    uint8_t type = 0;
    std::vector<uint8_t> bytes;  // every package but strings
    std::string language;        // string packages
  };
  struct PackageList {
    EFI_GUID guid{};
    EFI_HANDLE driver = nullptr;
    std::vector<Package> packages;
    std::map<std::string, std::vector<std::optional<std::u16string>>> strings;
  };
  static EFI_STATUS Parse(const uint8_t *list, size_t available, PackageList *out);
  static std::vector<uint8_t> StringPackage(const std::string &language,
                                            const std::vector<std::optional<std::u16string>> &strings);

  Arena &arena_;
  std::map<EFI_HII_HANDLE, PackageList> lists_;
  EFI_HII_STRING_PROTOCOL *stringProtocol_ = nullptr;
  EFI_HII_DATABASE_PROTOCOL *databaseProtocol_ = nullptr;
  uint32_t updates_ = 0;
};

}  // namespace sim
