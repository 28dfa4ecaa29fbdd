#include "platform_config/manufacturing_records.h"

#include "platform_config/setup_records.h"
#include "runtime/base/memory.h"
#include "tagstore/tag_store.h"

VOID ReadManufacturingRecord(UINT32 Tag, UINT8 *Buffer) {
  // A record shorter than the buffer (the table is shared with other images and may
  // describe it so) fills only its own bytes: the rest reads as erased flash, never as
  // whatever the caller's stack held before.
  SetMem(Buffer, MANUFACTURING_RECORD_SIZE, 0xFF);
  // A failed read (no table, unknown tag, record too large) leaves the buffer untouched.
  UINT64 Size = 0;
  TagStoreReadBounded(Tag, &Size, Buffer, MANUFACTURING_RECORD_SIZE);
}
