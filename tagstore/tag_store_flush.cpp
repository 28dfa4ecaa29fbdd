// TagStoreFlush: every record is loaded first. When the new content only clears bits of
// what the flash holds (an append to the log: erased slot bytes take values, a free-map
// bit goes from 1 to 0), the records that differ are programmed in place and nothing is
// erased: a power cut then cannot take the other records with it. Otherwise the block is
// erased as a whole and all records are written back.
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

// The records a flush may read and program: a cache, and a place inside the block.
static BOOLEAN Flushable(const TagStoreEntry *Entry) { return Entry->Cache != nullptr && TagStoreRecordInBlock(Entry); }

// Compares a record's cache with its flash bytes: whether they differ, and whether
// programming the cache over the flash would need a bit to go from 0 to 1. The flash is
// read a 64-bit word at a time where the record allows it.
static VOID CompareWithFlash(UINT64 Base, const TagStoreEntry *Entry, BOOLEAN *Differs, BOOLEAN *NeedsErase) {
  const UINT8 *Cache = (const UINT8 *)Entry->Cache;
  UINT64 Address = Base + Entry->Offset;
  *Differs = FALSE;
  *NeedsErase = FALSE;
  for (UINT64 Done = 0; Done < Entry->Size;) {
    UINT64 New;
    UINT64 Old;
    if (Entry->Size - Done >= sizeof(UINT64) && ((Address + Done) & (sizeof(UINT64) - 1)) == 0) {
      Old = MmioRead64(Address + Done);
      __builtin_memcpy(&New, Cache + Done, sizeof(UINT64));
      Done += sizeof(UINT64);
    } else {
      Old = MmioRead8(Address + Done);
      New = Cache[Done];
      Done++;
    }
    if (New != Old) {
      *Differs = TRUE;
    }
    if ((New & Old) != New) {
      *NeedsErase = TRUE;
      return;
    }
  }
}

// Programs the records that differ, without an erase. FALSE with nothing written when that
// cannot be done (some bit would have to be set); otherwise *Flushed says whether every
// program succeeded (a record whose program failed stays dirty, its old bytes or a
// subset of the new ones in flash, and nothing else was touched).
static BOOLEAN ProgramWithoutErase(UINT64 Base, BOOLEAN *Flushed) {
  BOOLEAN Differs[TAG_STORE_ENTRY_COUNT];
  UINTN Count = 0;
  for (TagStoreEntry *Entry = gTagStoreTable; Entry->Tag != TAG_STORE_TERMINATOR; Entry++, Count++) {
    BOOLEAN NeedsErase = FALSE;
    if (Count >= TAG_STORE_ENTRY_COUNT || !Flushable(Entry)) {
      return FALSE;
    }
    CompareWithFlash(Base, Entry, &Differs[Count], &NeedsErase);
    if (NeedsErase) {
      return FALSE;
    }
  }
  *Flushed = TRUE;
  Count = 0;
  for (TagStoreEntry *Entry = gTagStoreTable; Entry->Tag != TAG_STORE_TERMINATOR; Entry++, Count++) {
    Entry->Dirty = 0;
    if (Differs[Count] && EFI_ERROR(FlashWriteRange(Base + Entry->Offset, Entry->Cache, Entry->Size))) {
      Entry->Dirty = 1;
      *Flushed = FALSE;
    }
  }
  return TRUE;
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
    if (Entry->Loaded == 0 && Flushable(Entry)) {
      MmioReadBuffer8(Base + Entry->Offset, Entry->Size, Entry->Cache);
      Entry->Loaded = 1;
    }
  }
  BOOLEAN Flushed = FALSE;
  if (ProgramWithoutErase(Base, &Flushed)) {
    return Flushed;
  }
  UINT32 EraseBlock = FlashEraseBlockSize();
  UINTN EraseLength = (TAG_STORE_RECORD_SPAN + EraseBlock - 1) & ~(UINTN)(EraseBlock - 1);
  if (EFI_ERROR(FlashEraseRange(Base, EraseLength))) {
    return FALSE;
  }
  for (TagStoreEntry *Entry = gTagStoreTable; Entry->Tag != TAG_STORE_TERMINATOR; Entry++) {
    // The erase took every record off the flash: one that is not written back is dirty,
    // even if it was clean before, so that the next flush writes it again.
    BOOLEAN Written = Flushable(Entry) && !EFI_ERROR(FlashWriteRange(Base + Entry->Offset, Entry->Cache, Entry->Size));
    Entry->Dirty = Written ? 0 : 1;
  }
  return TRUE;
}
