// Initialisers that capture the firmware's service tables.
#include "runtime/base/config_tables.h"
#include "runtime/base/image_kind.h"
#include "runtime/base/services.h"
#include "runtime/entry/initialisers.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

EFI_STATUS EFIAPI InitBootServicesTable(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  gImageHandle = ImageHandle;
  gST = SystemTable;
  gBS = SystemTable->BootServices;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI InitRuntimeServicesTable(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  gRT = SystemTable->RuntimeServices;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI InitNothing(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI InitHobList(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  return FindConfigurationTable(&gEfiHobListGuid, &gHobList);
}

EFI_STATUS EFIAPI InitDxeServicesTable(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  return FindConfigurationTable(&gEfiDxeServicesTableGuid, (VOID **)&gDS);
}

EFI_STATUS EFIAPI InitHiiProtocols(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  // A protocol that is missing leaves its pointer null; users check before use.
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiHiiStringProtocolGuid, nullptr, &gHiiString))) gHiiString = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiHiiDatabaseProtocolGuid, nullptr, &gHiiDatabase))) gHiiDatabase = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiHiiConfigRoutingProtocolGuid, nullptr, &gHiiConfigRouting)))
    gHiiConfigRouting = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiHiiFontProtocolGuid, nullptr, &gHiiFont))) gHiiFont = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiHiiImageProtocolGuid, nullptr, &gHiiImage))) gHiiImage = nullptr;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI InitSmmServicesTable(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  // Only an image inside SMM gets the SMM system table; outside, gSmst is left alone.
  InsideSmm(&gSmst);
  return EFI_SUCCESS;
}
