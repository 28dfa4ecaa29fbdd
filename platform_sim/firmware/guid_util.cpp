#include "platform_sim/firmware/guid_util.h"

#include <cstdio>
#include <map>

#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace sim {

namespace {
std::map<EFI_GUID, std::string, GuidLess> &Names() {
  // Every GUID of the runtime's list under its name; tests add their own.
#define GUID_NAME_ENTRY(Name, Text, ...) {Name, Text},
  static std::map<EFI_GUID, std::string, GuidLess> names = {RUNTIME_GUID_LIST(GUID_NAME_ENTRY)};
#undef GUID_NAME_ENTRY
  return names;
}
}  // namespace

std::string GuidText(const EFI_GUID &g) {
  char text[40];
  std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::string GuidName(const EFI_GUID &guid) {
  auto it = Names().find(guid);
  return it == Names().end() ? GuidText(guid) : it->second;
}

bool GuidFromName(const std::string &name, EFI_GUID *guid) {
  for (const auto &[known, text] : Names()) {
    if (text == name) {
      *guid = known;
      return true;
    }
  }
  unsigned data1 = 0, data2 = 0, data3 = 0, bytes[8] = {};
  int consumed = 0;
  if (name.size() != 36 ||
      std::sscanf(name.c_str(), "%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%n", &data1, &data2, &data3, &bytes[0], &bytes[1],
                  &bytes[2], &bytes[3], &bytes[4], &bytes[5], &bytes[6], &bytes[7], &consumed) != 11 ||
      consumed != 36) {
    return false;
  }
  guid->Data1 = data1;
  guid->Data2 = static_cast<UINT16>(data2);
  guid->Data3 = static_cast<UINT16>(data3);
  for (int index = 0; index < 8; ++index) guid->Data4[index] = static_cast<UINT8>(bytes[index]);
  return true;
}

void RegisterGuidName(const EFI_GUID &guid, const std::string &name) { Names()[guid] = name; }

std::string StatusText(EFI_STATUS status) {
  static const char *const kErrors[] = {"EFI_SUCCESS",          "EFI_LOAD_ERROR",           "EFI_INVALID_PARAMETER",
                                        "EFI_UNSUPPORTED",      "EFI_BAD_BUFFER_SIZE",      "EFI_BUFFER_TOO_SMALL",
                                        "EFI_NOT_READY",        "EFI_DEVICE_ERROR",         "EFI_WRITE_PROTECTED",
                                        "EFI_OUT_OF_RESOURCES", "EFI_VOLUME_CORRUPTED",     "EFI_VOLUME_FULL",
                                        "EFI_NO_MEDIA",         "EFI_MEDIA_CHANGED",        "EFI_NOT_FOUND",
                                        "EFI_ACCESS_DENIED",    "EFI_NO_RESPONSE",          "EFI_NO_MAPPING",
                                        "EFI_TIMEOUT",          "EFI_NOT_STARTED",          "EFI_ALREADY_STARTED",
                                        "EFI_ABORTED",          "EFI_ICMP_ERROR",           "EFI_TFTP_ERROR",
                                        "EFI_PROTOCOL_ERROR",   "EFI_INCOMPATIBLE_VERSION", "EFI_SECURITY_VIOLATION",
                                        "EFI_CRC_ERROR",        "EFI_END_OF_MEDIA"};
  static const char *const kWarnings[] = {"EFI_SUCCESS",
                                          "EFI_WARN_UNKNOWN_GLYPH",
                                          "EFI_WARN_DELETE_FAILURE",
                                          "EFI_WARN_WRITE_FAILURE",
                                          "EFI_WARN_BUFFER_TOO_SMALL",
                                          "EFI_WARN_STALE_DATA",
                                          "EFI_WARN_FILE_SYSTEM",
                                          "EFI_WARN_RESET_REQUIRED"};
  if (EFI_ERROR(status)) {
    uint64_t code = status & ~EFI_ERROR_BIT;
    if (code < sizeof(kErrors) / sizeof(kErrors[0])) return kErrors[code];
  } else if (status < sizeof(kWarnings) / sizeof(kWarnings[0])) {
    return kWarnings[status];
  }
  char text[32];
  std::snprintf(text, sizeof(text), "status 0x%llX", static_cast<unsigned long long>(status));
  return text;
}

std::string Ucs2ToUtf8(const CHAR16 *text) {
  std::string result;
  for (; text != nullptr && *text != 0; ++text) {
    char16_t c = *text;
    if (c < 0x80) {
      result += static_cast<char>(c);
    } else if (c < 0x800) {
      result += static_cast<char>(0xC0 | (c >> 6));
      result += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      result += static_cast<char>(0xE0 | (c >> 12));
      result += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return result;
}

}  // namespace sim
