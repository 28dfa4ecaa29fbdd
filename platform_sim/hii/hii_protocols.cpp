// The HII String and HII Database protocols over the boot's HiiModel, with the size and
// status rules of the UEFI specification for the members modelled here.
#include <cstring>

#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/hii/hii_model.h"
#include "platform_sim/memory/arena.h"

namespace sim {
namespace {

struct StringInstance {
  EFI_HII_STRING_PROTOCOL protocol;
  HiiModel *model;
};
struct DatabaseInstance {
  EFI_HII_DATABASE_PROTOCOL protocol;
  HiiModel *model;
};

HiiModel &Of(const EFI_HII_STRING_PROTOCOL *self) { return *reinterpret_cast<const StringInstance *>(self)->model; }
HiiModel &Of(const EFI_HII_DATABASE_PROTOCOL *self) { return *reinterpret_cast<const DatabaseInstance *>(self)->model; }

std::u16string Ucs2(const CHAR16 *text) {
  std::u16string result;
  for (; *text != 0; ++text) result.push_back(*text);
  return result;
}

EFI_STATUS EFIAPI NewString(const EFI_HII_STRING_PROTOCOL *self, EFI_HII_HANDLE handle, EFI_STRING_ID *id,
                            const CHAR8 *language, const CHAR16 *, const CHAR16 *text, const VOID *) {
  CheckTpl("HiiString.NewString", TPL_NOTIFY);
  if (id == nullptr || language == nullptr || text == nullptr || handle == nullptr) return EFI_INVALID_PARAMETER;
  return Of(self).NewString(handle, id, language, Ucs2(text));
}

EFI_STATUS EFIAPI GetString(const EFI_HII_STRING_PROTOCOL *self, const CHAR8 *language, EFI_HII_HANDLE handle,
                            EFI_STRING_ID id, CHAR16 *buffer, UINTN *size, VOID **) {
  CheckTpl("HiiString.GetString", TPL_NOTIFY);
  if (language == nullptr || size == nullptr || id == 0 || handle == nullptr) return EFI_INVALID_PARAMETER;
  if (buffer == nullptr && *size != 0) return EFI_INVALID_PARAMETER;
  std::u16string text;
  EFI_STATUS status = Of(self).GetString(language, handle, id, &text);
  if (status != EFI_SUCCESS) return status;
  const UINTN needed = (text.size() + 1) * sizeof(CHAR16);
  if (*size < needed) {
    *size = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  std::memcpy(buffer, text.c_str(), needed);
  *size = needed;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SetString(const EFI_HII_STRING_PROTOCOL *self, EFI_HII_HANDLE handle, EFI_STRING_ID id,
                            const CHAR8 *language, const CHAR16 *text, const VOID *) {
  CheckTpl("HiiString.SetString", TPL_NOTIFY);
  if (language == nullptr || text == nullptr || handle == nullptr) return EFI_INVALID_PARAMETER;
  return Of(self).SetString(handle, id, language, Ucs2(text));
}

EFI_STATUS EFIAPI GetLanguages(const EFI_HII_STRING_PROTOCOL *self, EFI_HII_HANDLE handle, CHAR8 *buffer, UINTN *size) {
  CheckTpl("HiiString.GetLanguages", TPL_NOTIFY);
  if (size == nullptr || handle == nullptr) return EFI_INVALID_PARAMETER;
  if (buffer == nullptr && *size != 0) return EFI_INVALID_PARAMETER;
  auto languages = Of(self).Languages(handle);
  if (!languages) return EFI_NOT_FOUND;
  const UINTN needed = languages->size() + 1;
  if (*size < needed) {
    *size = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  std::memcpy(buffer, languages->c_str(), needed);
  *size = needed;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI NewPackageList(const EFI_HII_DATABASE_PROTOCOL *self, const EFI_HII_PACKAGE_LIST_HEADER *list,
                                 EFI_HANDLE driver, EFI_HII_HANDLE *handle) {
  CheckTpl("HiiDatabase.NewPackageList", TPL_NOTIFY);
  if (list == nullptr || handle == nullptr) return EFI_INVALID_PARAMETER;
  const auto *bytes = reinterpret_cast<const uint8_t *>(list);
  return Of(self).NewPackageList(std::vector<uint8_t>(bytes, bytes + list->PackageLength), driver, handle);
}

EFI_STATUS EFIAPI RemovePackageList(const EFI_HII_DATABASE_PROTOCOL *self, EFI_HII_HANDLE handle) {
  CheckTpl("HiiDatabase.RemovePackageList", TPL_NOTIFY);
  return Of(self).RemovePackageList(handle);
}

EFI_STATUS EFIAPI UpdatePackageList(const EFI_HII_DATABASE_PROTOCOL *self, EFI_HII_HANDLE handle,
                                    const EFI_HII_PACKAGE_LIST_HEADER *list) {
  CheckTpl("HiiDatabase.UpdatePackageList", TPL_NOTIFY);
  if (list == nullptr) return EFI_INVALID_PARAMETER;
  return Of(self).UpdatePackageList(handle, reinterpret_cast<const uint8_t *>(list), list->PackageLength);
}

EFI_STATUS EFIAPI ExportPackageLists(const EFI_HII_DATABASE_PROTOCOL *self, EFI_HII_HANDLE handle, UINTN *size,
                                     EFI_HII_PACKAGE_LIST_HEADER *buffer) {
  CheckTpl("HiiDatabase.ExportPackageLists", TPL_NOTIFY);
  if (size == nullptr) return EFI_INVALID_PARAMETER;
  if (buffer == nullptr && *size != 0) return EFI_INVALID_PARAMETER;
  auto exported = Of(self).Export(handle);
  if (!exported) return EFI_NOT_FOUND;
  if (*size < exported->size()) {
    *size = exported->size();
    return EFI_BUFFER_TOO_SMALL;
  }
  std::memcpy(buffer, exported->data(), exported->size());
  *size = exported->size();
  return EFI_SUCCESS;
}

constexpr char kSecondaryLanguages[] = "HiiString.GetSecondaryLanguages";
constexpr char kListPackageLists[] = "HiiDatabase.ListPackageLists";
constexpr char kRegisterPackageNotify[] = "HiiDatabase.RegisterPackageNotify";
constexpr char kUnregisterPackageNotify[] = "HiiDatabase.UnregisterPackageNotify";
constexpr char kFindKeyboardLayouts[] = "HiiDatabase.FindKeyboardLayouts";
constexpr char kGetKeyboardLayout[] = "HiiDatabase.GetKeyboardLayout";
constexpr char kSetKeyboardLayout[] = "HiiDatabase.SetKeyboardLayout";
constexpr char kGetPackageListHandle[] = "HiiDatabase.GetPackageListHandle";

}  // namespace

EFI_HII_STRING_PROTOCOL *HiiModel::StringProtocol() {
  if (stringProtocol_ == nullptr) {
    auto *instance = arena_.NewFirmware<StringInstance>();
    instance->model = this;
    instance->protocol = {sim::NewString, sim::GetString, sim::SetString, sim::GetLanguages,
                          NotModelledSlot<kSecondaryLanguages>()};
    stringProtocol_ = &instance->protocol;
  }
  return stringProtocol_;
}

EFI_HII_DATABASE_PROTOCOL *HiiModel::DatabaseProtocol() {
  if (databaseProtocol_ == nullptr) {
    auto *instance = arena_.NewFirmware<DatabaseInstance>();
    instance->model = this;
    instance->protocol = {sim::NewPackageList,
                          sim::RemovePackageList,
                          sim::UpdatePackageList,
                          NotModelledSlot<kListPackageLists>(),
                          sim::ExportPackageLists,
                          NotModelledSlot<kRegisterPackageNotify>(),
                          NotModelledSlot<kUnregisterPackageNotify>(),
                          NotModelledSlot<kFindKeyboardLayouts>(),
                          NotModelledSlot<kGetKeyboardLayout>(),
                          NotModelledSlot<kSetKeyboardLayout>(),
                          NotModelledSlot<kGetPackageListHandle>()};
    databaseProtocol_ = &instance->protocol;
  }
  return databaseProtocol_;
}

}  // namespace sim
