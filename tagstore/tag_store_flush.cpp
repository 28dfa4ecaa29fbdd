// TagStoreFlush: the block is erased as a whole, so every record is loaded first and all
// of them are written back.
#include "runtime/base/cpu.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/tag_store_internal.h"

static BOOLEAN AnyDirty(VOID) {
  for (TagStoreEntry *Entry = gTagStoreTable; Entry->Tag != TAG_STORE_TERMINATOR; Entry++) {
    if (Entry->Dirty == 1) {
      return TRUE;
    }
  }
  return FALSE;
}

BOOLEAN TagStoreFlush(VOID) {
  UINT64 Base = TagStoreBase();
  if (gTagStoreTable == nullptr) {
    return FALSE;
  }
  if (gTagStoreTable[0].Tag == TAG_STORE_TERMINATOR || !AnyDirty()) {
    return TRUE;
  }
  for (TagStoreEntry *Entry = gTagStoreTable; Entry->Tag != TAG_STORE_TERMINATOR; Entry++) {
    if (Entry->Loaded == 0 && Entry->Cache != nullptr) {
      MmioReadBuffer8(Base + Entry->Offset, Entry->Size, Entry->Cache);
      Entry->Loaded = 1;
    }
  }
  UINT32 EraseBlock = FlashEraseBlockSize();
  UINTN EraseLength = (TAG_STORE_RECORD_SPAN + EraseBlock - 1) & ~(UINTN)(EraseBlock - 1);
  if (EFI_ERROR(FlashEraseRange(Base, EraseLength))) {
    return FALSE;
  }
  for (TagStoreEntry *Entry = gTagStoreTable; Entry->Tag != TAG_STORE_TERMINATOR; Entry++) {
    // The erase took every record off the flash: one that is not written back is dirty,
    // even if it was clean before, so that the next flush writes it again.
    BOOLEAN Written = Entry->Cache != nullptr && !EFI_ERROR(FlashWriteRange(Base + Entry->Offset, Entry->Cache, Entry->Size));
    Entry->Dirty = Written ? 0 : 1;
  }
  return TRUE;
}
