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

// Library step: locate the shared table or create and publish it. EFI_SUCCESS when the
// table of another image is shared or this image's table is installed; on a failed
// creation every buffer it took is freed, the store stays without a table and the
// allocation's status is returned; on a failed installation that status is returned and
// the table stays in use by this image. Runs after device selection; no waits.
EFI_STATUS EFIAPI TagStoreInit(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

// Inside SMM: switches the store to a table and caches of its own in SMRAM, built from
// the built-in template (nothing loaded) and filled only from the flash block; the shared
// table stays published for the boot-time images but is never read or written again by
// this image. EFI_NOT_READY without an SMM system table, or SmmAllocatePool's status; a
// second call only switches back to the copy made by the first. No waits.
EFI_STATUS TagStoreInitSmram(VOID);
// TRUE when the store works on that SMRAM copy and the copy lies wholly inside the SMRAM
// ranges this image learned at start-up (FALSE when it learned none).
BOOLEAN TagStoreIsPrivate(VOID);

// Reads, writes and flushes answer FALSE, touching neither *Size nor the buffer, when there
// is no table, the table is empty or the tag is not in it. They are not reentrant: the
// DXE and SMM users never run at the same time.

// Copies the record into Buffer (room for the record's whole size) and its size into
// *Size. The first read of a record fills its cache from the memory-mapped flash; later
// reads return the cache. No waits.
BOOLEAN TagStoreRead(UINT32 Tag, UINT64 *Size, VOID *Buffer);
// The same for a caller whose buffer has a fixed size: FALSE, touching neither Size nor
// Buffer, when the record is larger than BufferSize.
BOOLEAN TagStoreReadBounded(UINT32 Tag, UINT64 *Size, VOID *Buffer, UINT64 BufferSize);
// Replaces the cached record with the record's size of bytes from Buffer and marks it
// dirty; the partner of a mirrored pair ("SLP3"/"OEM5", "SLP2"/"OEM2") takes the same
// bytes. *Size receives the size of the last record written. Nothing reaches the flash
// before TagStoreFlush. No waits.
BOOLEAN TagStoreWrite(UINT32 Tag, UINT64 *Size, const VOID *Buffer);
// Every flash address the store computes lies in the tag store block: a record whose
// offset and size do not fit the block is neither read from nor written to the flash.
// Writes the dirty records back. TRUE when nothing was dirty or the table is empty. When
// the new contents only clear bits of the flash, the records that differ are programmed
// in place without an erase: TRUE when every program succeeded, FALSE otherwise (a record
// whose program failed stays dirty). Otherwise the 8 KiB block is erased and every record
// written back: FALSE, with every record still dirty and cached, when the erase fails
// (or no flash device was selected); TRUE after the erase, a record whose write failed
// staying dirty for the next flush. FALSE without a table.
// Blocking bound: the flash layer's erase of 8 KiB and the programs of the
// records (flash_layer.h).
BOOLEAN TagStoreFlush(VOID);
