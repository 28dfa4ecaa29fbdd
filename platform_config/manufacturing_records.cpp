#include "platform_config/manufacturing_records.h"

#include "platform_config/setup_records.h"
#include "runtime/base/memory.h"
#include "tagstore/tag_store.h"

VOID ReadManufacturingRecord(UINT32 Tag, UINT8 *Buffer) {
  UINT64 Size = 0;
  if (!TagStoreReadBounded(Tag, &Size, Buffer, MANUFACTURING_RECORD_SIZE)) {
    SetMem(Buffer, MANUFACTURING_RECORD_SIZE, 0xFF);
  }
}
