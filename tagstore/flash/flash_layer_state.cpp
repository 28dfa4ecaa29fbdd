#include "tagstore/flash/flash_layer_state.h"

#include "runtime/uefi/status.h"

UINTN gBiosBase;
UINTN gBiosSize;
UINTN gSpiBar;
UINT32 gFlashComponentField;
FLASH_LAYOUT_STATE gFlashLayout;
UINT64 gFlashTotalSize;
UINT64 gBiosLinearOffset;
CHIPSET_SPI_PROTOCOL *gChipsetSpi;
REGION_FLASH_PROTOCOL *gRegionFlash;
FlashDeviceContext *gCurrentFlashContext;

EFI_STATUS FlashGetCurrentContext(FlashDeviceContext **Context) {
  if (Context == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *Context = gCurrentFlashContext;
  return gCurrentFlashContext == nullptr ? EFI_NOT_FOUND : EFI_SUCCESS;
}

EFI_STATUS FlashSetCurrentContext(FlashDeviceContext *Context) {
  if (Context == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  gCurrentFlashContext = Context;
  return EFI_SUCCESS;
}
