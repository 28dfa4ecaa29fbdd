// Names printed for EFI_STATUS values by the "r" directive.
#include "runtime/print/format_internal.h"
#include "runtime/uefi/status.h"

namespace {

// Entries 0 to 5 are success and the warnings; entry k + 5 is error k.
constexpr const CHAR8 *kStatusNames[39] = {
    "Success",
    "Warning Unknown Glyph",
    "Warning Delete Failure",
    "Warning Write Failure",
    "Warning Buffer Too Small",
    "Warning Stale Data",
    "Load Error",
    "Invalid Parameter",
    "Unsupported",
    "Bad Buffer Size",
    "Buffer Too Small",
    "Not Ready",
    "Device Error",
    "Write Protected",
    "Out of Resources",
    "Volume Corrupt",
    "Volume Full",
    "No Media",
    "Media changed",
    "Not Found",
    "Access Denied",
    "No Response",
    "No mapping",
    "Time out",
    "Not started",
    "Already started",
    "Aborted",
    "ICMP Error",
    "TFTP Error",
    "Protocol Error",
    "Incompatible Version",
    "Security Violation",
    "CRC Error",
    "End of Media",
    "Reserved (29)",
    "Reserved (30)",
    "End of File",
    "Invalid Language",
    "Compromised Data",
};

constexpr UINT64 kLastWarning = 5;
constexpr UINT64 kLastError = 33;

}  // namespace

CONST CHAR8 *FormatStatusName(EFI_STATUS Status) {
  if (Status & EFI_ERROR_BIT) {
    UINT64 Number = Status & ~EFI_ERROR_BIT;
    if (Number >= 1 && Number <= kLastError) {
      return kStatusNames[Number + kLastWarning];
    }
    return nullptr;
  }
  if (Status <= kLastWarning) {
    return kStatusNames[Status];
  }
  return nullptr;
}
