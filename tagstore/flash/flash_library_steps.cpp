// The flash layer's library steps: set-up, the current-context pointer and device
// selection, with the tear-down steps that undo the pointer registrations.
#include "runtime/shared_state/address_fixup.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/flash/flash_layer_state.h"

EFI_STATUS EFIAPI InitFlashLayer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  FlashLayerInit();
  // Runtime callers reach the flash after the switch to virtual addresses.
  AddressFixupRegister(&gBiosBase);
  AddressFixupRegister(&gSpiBar);
  AddressFixupRegister(&gChipsetSpi);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI InitFlashContextPointer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  return AddressFixupRegister(&gCurrentFlashContext);
}

EFI_STATUS EFIAPI InitFlashDeviceSelection(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  FlashDeviceDetect();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI TearDownFlashContextPointer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  return AddressFixupRemove(&gCurrentFlashContext);
}

EFI_STATUS EFIAPI TearDownFlashLayer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  AddressFixupRemove(&gBiosBase);
  AddressFixupRemove(&gSpiBar);
  AddressFixupRemove(&gChipsetSpi);
  return EFI_SUCCESS;
}
