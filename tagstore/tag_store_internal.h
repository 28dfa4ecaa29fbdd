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

// The SMM image's own store (tag_store_smram.cpp), one SMRAM block: the table, then
// every record's cache at the record's own offset.
typedef struct {
  TagStoreEntry Table[TAG_STORE_ENTRY_COUNT];
  UINT8 Records[TAG_STORE_RECORD_SPAN];
} TAG_STORE_SMRAM_COPY;

// The first entry with this tag, or null.
TagStoreEntry *TagStoreFind(UINT32 Tag);

// Whether a record lies wholly inside the block, whatever its table says: the bound of
// every flash address the store reads or programs.
static inline BOOLEAN TagStoreRecordInBlock(const TagStoreEntry *Entry) {
  return Entry->Offset <= TAG_STORE_RECORD_SPAN && Entry->Size <= TAG_STORE_RECORD_SPAN - Entry->Offset;
}
