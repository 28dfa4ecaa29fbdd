// SPI flash: through the region flash service inside the BIOS region when there is one,
// otherwise through the chipset SPI protocol at linear flash addresses.
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_access.h"
#include "tagstore/flash/flash_layer_state.h"

#define SPI_WRITE_CHUNK 0x1000u
#define REGION_WRITE_CHUNK 0x10000u
#define REGION_ERASE_BLOCK 0x1000u

static UINT64 BiosLast(VOID) { return (UINT64)gBiosBase + gBiosSize - 1; }

// The whole range must lie in the flash below the top of the BIOS region. Without a
// known flash layout only the BIOS region itself can be addressed.
static BOOLEAN InRange(UINT64 Address, UINTN Length) {
  UINT64 First = gBiosLinearOffset > gBiosBase ? 0 : (UINT64)gBiosBase - gBiosLinearOffset;
  if (gFlashLayout != FLASH_LAYOUT_KNOWN) {
    First = gBiosBase;
  }
  if (Address < First || Address > BiosLast()) {
    return FALSE;
  }
  return Length == 0 || Length - 1 <= BiosLast() - Address;
}

static BOOLEAN UsesRegionService(UINT64 Address) {
  return gRegionFlash != nullptr && Address >= gBiosBase && Address < BiosLast();
}

static UINT32 LinearAddress(UINT64 Address) { return (UINT32)(Address - gBiosBase + gBiosLinearOffset); }
static UINT32 RegionOffset(UINT64 Address) { return (UINT32)(Address - gBiosBase); }

EFI_STATUS SpiFlashErase(UINT64 Address, UINTN Length) {
  if (!InRange(Address, Length)) {
    return EFI_INVALID_PARAMETER;
  }
  if (UsesRegionService(Address)) {
    UINTN Blocks = Length == 0 ? 0 : ((Length - 1) >> 12) + 1;
    for (UINTN Index = 0; Index < Blocks; Index++) {
      gRegionFlash->EraseBlock(gRegionFlash, RegionOffset(Address) + (UINT32)(Index * REGION_ERASE_BLOCK));
    }
    return gRegionFlash->Complete(gRegionFlash, 0);
  }
  if (gChipsetSpi == nullptr) {
    return EFI_UNSUPPORTED;
  }
  if (gFlashLayout != FLASH_LAYOUT_KNOWN) {
    return EFI_NOT_READY;
  }
  return gChipsetSpi->Erase(gChipsetSpi, CHIPSET_SPI_REGION_ALL, LinearAddress(Address), (UINT32)Length);
}

EFI_STATUS SpiFlashWrite(UINT64 Address, const UINT8 *Data, UINTN Length) {
  if (!InRange(Address, Length)) {
    return EFI_INVALID_PARAMETER;
  }
  EFI_STATUS Status = EFI_SUCCESS;
  if (UsesRegionService(Address)) {
    // Every chunk is written; the first failure reported by Complete is the result.
    for (UINTN Offset = 0; Offset < Length; Offset += REGION_WRITE_CHUNK) {
      UINTN Chunk = Length - Offset < REGION_WRITE_CHUNK ? Length - Offset : REGION_WRITE_CHUNK;
      gRegionFlash->Write(gRegionFlash, RegionOffset(Address + Offset), (UINT32)Chunk, (UINT8 *)(Data + Offset));
      EFI_STATUS Completed = gRegionFlash->Complete(gRegionFlash, 0);
      if (!EFI_ERROR(Status)) {
        Status = Completed;
      }
    }
    return Status;
  }
  if (gChipsetSpi == nullptr) {
    return EFI_UNSUPPORTED;
  }
  // Linear addresses need the BIOS region's place in the flash.
  if (gFlashLayout != FLASH_LAYOUT_KNOWN) {
    return EFI_NOT_READY;
  }
  for (UINTN Offset = 0; Offset < Length; Offset += SPI_WRITE_CHUNK) {
    UINTN Chunk = Length - Offset < SPI_WRITE_CHUNK ? Length - Offset : SPI_WRITE_CHUNK;
    Status = gChipsetSpi->Write(gChipsetSpi, CHIPSET_SPI_REGION_ALL, LinearAddress(Address + Offset), (UINT32)Chunk,
                                (UINT8 *)(Data + Offset));
    if (EFI_ERROR(Status)) {
      return Status;
    }
  }
  return Status;
}
