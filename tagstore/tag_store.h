// The tag store: small records named by four-character tags, cached in runtime memory
// and written back to one flash block. One table is shared by every image that carries
// the store, through TagStoreTableProtocol.
#pragma once

#include "runtime/uefi/system_table.h"

#define TAG_STORE_TAG(a, b, c, d)                                                                                      \
  (((UINT32)(UINT8)(a) << 24) | ((UINT32)(UINT8)(b) << 16) | ((UINT32)(UINT8)(c) << 8) | (UINT32)(UINT8)(d))
#define TAG_STORE_TERMINATOR 0xFFFFFFFFu

#define TAG_STORE_FLASH_BASE 0xFFD80000u
// The flash base aligned down to 4 KiB: where the records' block starts.
#define TAG_STORE_BLOCK_BASE ((UINT64)(TAG_STORE_FLASH_BASE & 0xFFFFF000u))
#define TAG_STORE_RECORD_SPAN 5376u
#define TAG_STORE_ENTRY_COUNT 10

// Shared in memory between deliverables: this layout is binding.
#pragma pack(push, 1)
typedef struct {
  UINT32 Tag;
  UINT8 Loaded;
  UINT8 Dirty;
  UINT64 Size;
  VOID *Cache;
  UINT32 Offset;
} TagStoreEntry;
#pragma pack(pop)
EFI_LAYOUT_SIZE(TagStoreEntry, 26);
EFI_LAYOUT_OFFSET(TagStoreEntry, Tag, 0);
EFI_LAYOUT_OFFSET(TagStoreEntry, Loaded, 4);
EFI_LAYOUT_OFFSET(TagStoreEntry, Dirty, 5);
EFI_LAYOUT_OFFSET(TagStoreEntry, Size, 6);
EFI_LAYOUT_OFFSET(TagStoreEntry, Cache, 14);
EFI_LAYOUT_OFFSET(TagStoreEntry, Offset, 22);
static_assert(sizeof(TagStoreEntry) * TAG_STORE_ENTRY_COUNT == 260, "tag store table size");

// Library step: locate the shared table or create and publish it.
EFI_STATUS EFIAPI TagStoreInit(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
// Buffer must hold the record's whole size; Size receives it.
BOOLEAN TagStoreRead(UINT32 Tag, UINT64 *Size, VOID *Buffer);
// The same for a caller whose buffer has a fixed size: FALSE, touching neither Size nor
// Buffer, when the record is larger than BufferSize.
BOOLEAN TagStoreReadBounded(UINT32 Tag, UINT64 *Size, VOID *Buffer, UINT64 BufferSize);
BOOLEAN TagStoreWrite(UINT32 Tag, UINT64 *Size, const VOID *Buffer);
BOOLEAN TagStoreFlush(VOID);
