// State and helpers shared by the tag store's operations.
#pragma once

#include "tagstore/tag_store.h"

// The shared table, null until TagStoreInit has found or created it.
extern TagStoreEntry *gTagStoreTable;

// The built-in table: the tag, size and offset of every record, and the terminator.
extern const TagStoreEntry gTagStoreTemplate[TAG_STORE_ENTRY_COUNT];

// The flash base of the current operation.
static inline UINT64 TagStoreBase(VOID) { return TAG_STORE_BLOCK_BASE; }

// FALSE when there is no table or it holds no record.
static inline BOOLEAN TagStoreHasRecords(VOID) {
  return gTagStoreTable != nullptr && gTagStoreTable[0].Tag != TAG_STORE_TERMINATOR;
}

// The first entry with this tag, or null.
TagStoreEntry *TagStoreFind(UINT32 Tag);
