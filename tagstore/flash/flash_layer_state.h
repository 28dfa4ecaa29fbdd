// What FlashLayerInit learns about the platform's flash, shared by selection and access.
#pragma once

#include "runtime/uefi/flash_protocols.h"
#include "tagstore/flash/flash_device_context.h"

#define FLASH_BIOS_BASE 0xFFA00000u
#define FLASH_BIOS_SIZE 0x600000u

// Pointer-sized so that the address fix-up can convert them in place.
extern UINTN gBiosBase;
extern UINTN gBiosSize;
extern UINTN gSpiBar;
extern UINT32 gFlashComponentField;
extern UINT64 gFlashTotalSize;
extern UINT64 gBiosLinearOffset;
extern CHIPSET_SPI_PROTOCOL *gChipsetSpi;
extern REGION_FLASH_PROTOCOL *gRegionFlash;
extern FlashDeviceContext *gCurrentFlashContext;
