// TagStoreRead: the first read of a record fills its cache from the memory-mapped flash;
// later reads return the cache.
#include "runtime/base/cpu.h"
#include "runtime/base/memory.h"
#include "tagstore/tag_store_internal.h"

BOOLEAN TagStoreRead(UINT32 Tag, UINT64 *Size, VOID *Buffer) {
  UINT64 Base = TagStoreBase();
  if (!TagStoreHasRecords()) {
    return FALSE;
  }
  TagStoreEntry *Entry = TagStoreFind(Tag);
  if (Entry == nullptr) {
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
