// GUID helpers for the platform: comparison, ordering, text and well-known names.
#pragma once

#include <cstring>
#include <string>

#include "runtime/uefi/types.h"

namespace sim {

inline bool SameGuid(const EFI_GUID &a, const EFI_GUID &b) { return std::memcmp(&a, &b, sizeof(EFI_GUID)) == 0; }

struct GuidLess {
  bool operator()(const EFI_GUID &a, const EFI_GUID &b) const { return std::memcmp(&a, &b, sizeof(EFI_GUID)) < 0; }
};

// Registry form, upper case: 5B1B31A1-9562-11D2-8E3F-00A0C969723B.
std::string GuidText(const EFI_GUID &guid);
// A readable name for the GUIDs this platform knows, else the registry form.
std::string GuidName(const EFI_GUID &guid);
// The GUID of a name GuidName gives, or of its text form; false when it is neither.
bool GuidFromName(const std::string &name, EFI_GUID *guid);
void RegisterGuidName(const EFI_GUID &guid, const std::string &name);

std::string StatusText(EFI_STATUS status);
std::string Ucs2ToUtf8(const CHAR16 *text);

}  // namespace sim
