// The platform's SPI flash protocols: the chipset SPI protocol (boot-services and SMM
// instances share one layout) and the SMM region flash service. Only the members the
// flash layer calls carry a typed signature; the others keep their slot.
#pragma once

#include "runtime/uefi/types.h"

// Flash region type that addresses the whole flash linearly.
#define CHIPSET_SPI_REGION_ALL 6u

struct CHIPSET_SPI_PROTOCOL;
typedef EFI_STATUS(EFIAPI *CHIPSET_SPI_WRITE)(struct CHIPSET_SPI_PROTOCOL *This, UINT32 RegionType, UINT32 Address,
                                              UINT32 ByteCount, UINT8 *Buffer);
typedef EFI_STATUS(EFIAPI *CHIPSET_SPI_ERASE)(struct CHIPSET_SPI_PROTOCOL *This, UINT32 RegionType, UINT32 Address,
                                              UINT32 ByteCount);
typedef EFI_STATUS(EFIAPI *CHIPSET_SPI_READ_SFDP)(struct CHIPSET_SPI_PROTOCOL *This, UINT8 ComponentNumber,
                                                  UINT32 Address, UINT32 ByteCount, UINT8 *SfdpData);
typedef EFI_STATUS(EFIAPI *CHIPSET_SPI_READ_JEDEC_ID)(struct CHIPSET_SPI_PROTOCOL *This, UINT8 ComponentNumber,
                                                      UINT32 ByteCount, UINT8 *JedecId);

struct CHIPSET_SPI_PROTOCOL {
  VOID *Reserved[2];
  CHIPSET_SPI_WRITE Write;
  CHIPSET_SPI_ERASE Erase;
  CHIPSET_SPI_READ_SFDP ReadSfdp;
  CHIPSET_SPI_READ_JEDEC_ID ReadJedecId;
};
typedef struct CHIPSET_SPI_PROTOCOL CHIPSET_SPI_PROTOCOL;
EFI_LAYOUT_OFFSET(CHIPSET_SPI_PROTOCOL, Write, 16);
EFI_LAYOUT_OFFSET(CHIPSET_SPI_PROTOCOL, Erase, 24);
EFI_LAYOUT_OFFSET(CHIPSET_SPI_PROTOCOL, ReadSfdp, 32);
EFI_LAYOUT_OFFSET(CHIPSET_SPI_PROTOCOL, ReadJedecId, 40);

struct REGION_FLASH_PROTOCOL;
typedef EFI_STATUS(EFIAPI *REGION_FLASH_WRITE)(struct REGION_FLASH_PROTOCOL *This, UINT32 Offset, UINT32 Size,
                                               UINT8 *Data);
typedef EFI_STATUS(EFIAPI *REGION_FLASH_ERASE_BLOCK)(struct REGION_FLASH_PROTOCOL *This, UINT32 Offset);
typedef EFI_STATUS(EFIAPI *REGION_FLASH_COMPLETE)(struct REGION_FLASH_PROTOCOL *This, UINT32 Value);

// Offsets are from the start of the BIOS region; EraseBlock erases the 4-KiB block there.
struct REGION_FLASH_PROTOCOL {
  REGION_FLASH_WRITE Write;
  REGION_FLASH_ERASE_BLOCK EraseBlock;
  REGION_FLASH_COMPLETE Complete;
};
typedef struct REGION_FLASH_PROTOCOL REGION_FLASH_PROTOCOL;
EFI_LAYOUT_OFFSET(REGION_FLASH_PROTOCOL, EraseBlock, 8);
EFI_LAYOUT_OFFSET(REGION_FLASH_PROTOCOL, Complete, 16);
