// GUID, time and status texts. The engine formats them with itself into the
// caller's stack scratch, so no table of hex or date code is duplicated here.
#include "runtime/print/format_internal.h"

namespace {

constexpr CHAR8 kGuidFormat[] = "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x";
constexpr CHAR8 kTimeFormat[] = "%02d/%02d/%04d  %02d:%02d";
constexpr CHAR8 kStatusFallbackFormat[] = "%08X";
constexpr CHAR8 kNullGuid[] = "<null guid>";
constexpr CHAR8 kNullTime[] = "<null time>";

}  // namespace

// Every argument goes through the variable list as a full 64-bit slot.
CONST CHAR8 *FormatGuidText(CONST EFI_GUID *Guid, CHAR8 *Scratch) {
  if (Guid == nullptr) {
    return kNullGuid;
  }
  FormatWithFlags(Scratch, FORMAT_SCRATCH_CHARS, 0, kGuidFormat, (UINT64)Guid->Data1, (UINT64)Guid->Data2,
                  (UINT64)Guid->Data3, (UINT64)Guid->Data4[0], (UINT64)Guid->Data4[1], (UINT64)Guid->Data4[2],
                  (UINT64)Guid->Data4[3], (UINT64)Guid->Data4[4], (UINT64)Guid->Data4[5], (UINT64)Guid->Data4[6],
                  (UINT64)Guid->Data4[7]);
  return Scratch;
}

CONST CHAR8 *FormatTimeText(CONST EFI_TIME *Time, CHAR8 *Scratch) {
  if (Time == nullptr) {
    return kNullTime;
  }
  FormatWithFlags(Scratch, FORMAT_SCRATCH_CHARS, 0, kTimeFormat, (UINT64)Time->Month, (UINT64)Time->Day,
                  (UINT64)Time->Year, (UINT64)Time->Hour, (UINT64)Time->Minute);
  return Scratch;
}

CONST CHAR8 *FormatStatusText(EFI_STATUS Status, CHAR8 *Scratch) {
  CONST CHAR8 *Name = FormatStatusName(Status);
  if (Name != nullptr) {
    return Name;
  }
  // Without the 64-bit flag the engine prints the low 32 bits.
  FormatWithFlags(Scratch, FORMAT_SCRATCH_CHARS, 0, kStatusFallbackFormat, (UINT64)Status);
  return Scratch;
}
