// TagStoreWrite: changes the cache only; the members of a mirrored pair always receive
// the same bytes. Nothing reaches the flash before TagStoreFlush.
#include "runtime/base/memory.h"
#include "tagstore/tag_store_internal.h"

static VOID Store(TagStoreEntry *Entry, UINT64 *Size, const VOID *Buffer) {
  UINT64 RecordSize = Entry->Size;
  *Size = RecordSize;
  Entry->Loaded = 1;
  Entry->Dirty = 1;
  CopyBytes(Entry->Cache, Buffer, RecordSize);
}

static UINT32 MirrorOf(UINT32 Tag) {
  switch (Tag) {
    case TAG_STORE_TAG('S', 'L', 'P', '3'): return TAG_STORE_TAG('O', 'E', 'M', '5');
    case TAG_STORE_TAG('O', 'E', 'M', '5'): return TAG_STORE_TAG('S', 'L', 'P', '3');
    case TAG_STORE_TAG('S', 'L', 'P', '2'): return TAG_STORE_TAG('O', 'E', 'M', '2');
    case TAG_STORE_TAG('O', 'E', 'M', '2'): return TAG_STORE_TAG('S', 'L', 'P', '2');
    default: return 0;
  }
}

BOOLEAN TagStoreWrite(UINT32 Tag, UINT64 *Size, const VOID *Buffer) {
  if (!TagStoreHasRecords()) {
    return FALSE;
  }
  TagStoreEntry *Entry = TagStoreFind(Tag);
  if (Entry == nullptr) {
    return FALSE;
  }
  Store(Entry, Size, Buffer);
  UINT32 Mirror = MirrorOf(Tag);
  if (Mirror != 0) {
    TagStoreEntry *Partner = TagStoreFind(Mirror);
    if (Partner != nullptr) {
      Store(Partner, Size, Buffer);
    }
  }
  return TRUE;
}
