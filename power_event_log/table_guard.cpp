// The tag store table is published by a boot-time image in memory that the operating
// system owns later, and the Sx handler runs while it does. Following a cache pointer
// of a forged table could write into SMRAM; following its offsets and sizes could
// program any part of the flash. So the table is checked before each use in SMM.
#include "power_event_log/power_event_log.h"
#include "runtime/base/services.h"
#include "tagstore/tag_store_internal.h"

// Any byte of [Address, Address + Length) inside one of the SMRAM ranges that this
// image's initialiser collected. A range that wraps the address space counts as inside.
static BOOLEAN TouchesSmram(UINT64 Address, UINT64 Length) {
  if (Length == 0) {
    return FALSE;
  }
  UINT64 Last = Address + Length - 1;
  if (Last < Address) {
    return TRUE;
  }
  for (UINTN Index = 0; Index < gSmramRangeCount; Index++) {
    UINT64 Start = gSmramRanges[Index].CpuStart;
    UINT64 Size = gSmramRanges[Index].PhysicalSize;
    if (Size != 0 && Address <= Start + (Size - 1) && Start <= Last) {
      return TRUE;
    }
  }
  return FALSE;
}

BOOLEAN TagStoreTableTrusted(VOID) {
  const TagStoreEntry *Table = gTagStoreTable;
  // Without a table the store reads and writes nothing.
  if (Table == nullptr) {
    return TRUE;
  }
  if (TouchesSmram((UINT64)(UINTN)Table, sizeof(TagStoreEntry) * TAG_STORE_ENTRY_COUNT)) {
    return FALSE;
  }
  for (UINTN Index = 0; Index < TAG_STORE_ENTRY_COUNT; Index++) {
    const TagStoreEntry *Expected = &gTagStoreTemplate[Index];
    // Each field is read once, so the value checked is the value judged.
    UINT32 Tag = Table[Index].Tag;
    UINT64 Size = Table[Index].Size;
    UINT32 Offset = Table[Index].Offset;
    if (Tag != Expected->Tag || Size != Expected->Size || Offset != Expected->Offset) {
      return FALSE;
    }
    if (Expected->Tag == TAG_STORE_TERMINATOR) {
      break;
    }
    // A record without a cache would be erased by a flush and never written back.
    UINT64 Cache = (UINT64)(UINTN)Table[Index].Cache;
    if (Cache == 0 || TouchesSmram(Cache, Size)) {
      return FALSE;
    }
  }
  return TRUE;
}
