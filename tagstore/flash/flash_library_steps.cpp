// The flash layer's library steps: set-up, the current-context pointer and device
// selection, with the tear-down steps that undo the pointer registrations.
#include "runtime/shared_state/address_fixup.h"
#include "runtime/entry/image_entry.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/flash/flash_layer_state.h"

// The pointer variables that runtime callers use after the switch to virtual addresses:
// registered for conversion at set-up and removed at tear-down, both from this list.
static VOID *const mFlashLayerPointers[] = {&gBiosBase, &gSpiBar, &gChipsetSpi};

EFI_STATUS EFIAPI InitFlashLayer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  FlashLayerInit();
  for (UINTN Index = 0; Index < ARRAY_COUNT(mFlashLayerPointers); Index++) {
    AddressFixupRegister(mFlashLayerPointers[Index]);
  }
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
  for (UINTN Index = 0; Index < ARRAY_COUNT(mFlashLayerPointers); Index++) {
    AddressFixupRemove(mFlashLayerPointers[Index]);
  }
  return EFI_SUCCESS;
}
