// Finds the shared S3 boot-script private record through its PCD or creates it, and
// undoes the creation when the driver entry fails.
#include "runtime/shared_state/s3_boot_script.h"

#include "runtime/base/events.h"
#include "runtime/base/image_kind.h"
#include "runtime/base/memory.h"
#include "runtime/base/pcd_access.h"
#include "runtime/base/services.h"
#include "runtime/shared_state/shared_state.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

S3_BOOT_SCRIPT_PRIVATE *gS3BootScriptPrivate;
EFI_EVENT gS3ReadyToLockEvent;
VOID *gS3ReadyToLockRegistration;
// This image created the record (and owns its page).
BOOLEAN gS3BootScriptCreated;

EFI_STATUS EFIAPI InitS3BootScript(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  // The record belongs to DXE; an SMM image does not set it up.
  if (InsideSmm(nullptr)) {
    return EFI_UNSUPPORTED;
  }
  UINT64 Address = PcdGet64Ex(&gS3BootScriptTokenSpaceGuid, S3_BOOT_SCRIPT_PRIVATE_PCD);
  if (Address != 0) {
    gS3BootScriptPrivate = (S3_BOOT_SCRIPT_PRIVATE *)(UINTN)Address;
    return EFI_SUCCESS;
  }

  // ACPI NVS below 4 GiB: the S3 resume path reads it before paging above 4 GiB is up.
  EFI_PHYSICAL_ADDRESS Page = 0xFFFFFFFFull;
  if (EFI_ERROR(gBS->AllocatePages(AllocateMaxAddress, EfiACPIMemoryNVS, 1, &Page))) {
    return EFI_OUT_OF_RESOURCES;
  }
  PcdSet64Ex(&gS3BootScriptTokenSpaceGuid, S3_BOOT_SCRIPT_PRIVATE_PCD, Page);
  gS3BootScriptPrivate = (S3_BOOT_SCRIPT_PRIVATE *)(UINTN)Page;
  gS3BootScriptCreated = TRUE;
  ZeroMem(gS3BootScriptPrivate, sizeof(S3_BOOT_SCRIPT_PRIVATE));
  gS3ReadyToLockEvent = RegisterProtocolNotification(&gEfiDxeSmmReadyToLockProtocolGuid, TPL_CALLBACK,
                                                     S3BootScriptReadyToLock, nullptr, &gS3ReadyToLockRegistration);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI TearDownS3BootScript(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  // A record found through the PCD belongs to the image that created it.
  if (!gS3BootScriptCreated) {
    return EFI_SUCCESS;
  }
  if (gS3ReadyToLockEvent != nullptr) {
    gBS->CloseEvent(gS3ReadyToLockEvent);
    gS3ReadyToLockEvent = nullptr;
  }
  gS3BootScriptCreated = FALSE;
  PcdSet64Ex(&gS3BootScriptTokenSpaceGuid, S3_BOOT_SCRIPT_PRIVATE_PCD, 0);
  EFI_PHYSICAL_ADDRESS Page = (EFI_PHYSICAL_ADDRESS)(UINTN)gS3BootScriptPrivate;
  gS3BootScriptPrivate = nullptr;
  return gBS->FreePages(Page, 1);
}
