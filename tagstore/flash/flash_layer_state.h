// What FlashLayerInit learns about the platform's flash, shared by selection and access.
#pragma once

#include "runtime/uefi/flash_protocols.h"
#include "tagstore/flash/flash_device_context.h"

#define FLASH_BIOS_BASE 0xFFA00000u
#define FLASH_BIOS_SIZE 0x600000u

// Whether FlashLayerInit could read the flash's layout from the SPI controller's
// descriptor. Only a known layout gives gFlashTotalSize and gBiosLinearOffset, so only
// then can the SPI path address the flash linearly (outside the BIOS region).
typedef enum {
  FLASH_LAYOUT_UNKNOWN = 0,
  FLASH_LAYOUT_KNOWN = 1,
} FLASH_LAYOUT_STATE;

// Pointer-sized so that the address fix-up can convert them in place.
extern UINTN gBiosBase;
extern UINTN gBiosSize;
extern UINTN gSpiBar;
extern UINT32 gFlashComponentField;
extern FLASH_LAYOUT_STATE gFlashLayout;
// With FLASH_LAYOUT_KNOWN: the flash's size and where the BIOS region starts in it; 0 otherwise.
extern UINT64 gFlashTotalSize;
extern UINT64 gBiosLinearOffset;
extern CHIPSET_SPI_PROTOCOL *gChipsetSpi;
extern REGION_FLASH_PROTOCOL *gRegionFlash;
extern FlashDeviceContext *gCurrentFlashContext;
