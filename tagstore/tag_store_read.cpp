// TagStoreRead: the first read of a record fills its cache from the memory-mapped flash;
// later reads return the cache.
#include "runtime/base/cpu.h"
#include "runtime/base/memory.h"
#include "tagstore/tag_store_internal.h"

BOOLEAN TagStoreRead(UINT32 Tag, UINT64 *Size, VOID *Buffer) { return TagStoreReadBounded(Tag, Size, Buffer, ~0ull); }

BOOLEAN TagStoreReadBounded(UINT32 Tag, UINT64 *Size, VOID *Buffer, UINT64 BufferSize) {
  UINT64 Base = TagStoreBase();
  if (!TagStoreHasRecords()) {
    return FALSE;
  }
  TagStoreEntry *Entry = TagStoreFind(Tag);
  // The table is shared with other images: a record larger than the caller's buffer is
  // refused rather than copied past its end, one outside the block rather than read.
  if (Entry == nullptr || Entry->Size > BufferSize || !TagStoreRecordInBlock(Entry)) {
    return FALSE;
  }
  UINT64 RecordSize = Entry->Size;
  *Size = RecordSize;
  UINT8 *Cache = (UINT8 *)Entry->Cache;
  if (Cache == nullptr) {
    MmioReadBuffer8(Base + Entry->Offset, RecordSize, Buffer);
    return TRUE;
  }
  if (Entry->Loaded == 0) {
    MmioReadBuffer8(Base + Entry->Offset, RecordSize, Cache);
    Entry->Loaded = 1;
  }
  CopyBytes(Buffer, Cache, RecordSize);
  return TRUE;
}
