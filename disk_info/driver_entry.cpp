// DiskInfoSetupDxe's entry: three storage notifications, the private structure, and the
// form protocol whose interface is the FillForm field.
#include "disk_info/disk_info.h"
#include "runtime/base/events.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

// Row n: where SATA slot n of the form is found. Vendor 0xFFFF rows are wildcards the
// controller scan binds in place.
constinit SataPortMapRow mSataPortMap[SATA_PORT_MAP_ROWS] = {
    {0x8086, 0xFFFF, 0},
    {0x8086, 0xFFFF, 1},
    {0x8086, 0xFFFF, 2},
    {0x1C28, 0x0122, 0},
};

// Candidates for each NVMe slot, in order of preference; the 0xFF row ends the table.
constinit NvmeSlotMapRow mNvmeSlotMap[] = {
    {0x1D, 0x00, 1, 0},
    {0x1D, 0x06, 1, 1},
    {0x00, 0x00, 0x0B, 0},
    {0xFF, 0xFF, 0xFF, 0xFF},
};

DiskInfoPrivate *LocateDiskInfoPrivate(VOID) {
  VOID *Interface = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gDiskInfoFormProtocolGuid, nullptr, &Interface)) || Interface == nullptr) {
    return nullptr;
  }
  return PrivateFromForm(Interface);
}

// A failed entry unloads the image; an event left open would later call freed code.
static VOID CloseNotifications(EFI_EVENT *Events, UINTN Count) {
  for (UINTN Index = 0; Index < Count; Index++) {
    if (Events[Index] != nullptr) {
      gBS->CloseEvent(Events[Index]);
    }
  }
}

EFI_STATUS EFIAPI DiskInfoSetupEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)SystemTable;
  VOID *Registration = nullptr;
  EFI_EVENT Events[3];
  // Each signal runs its callback at once, before the protocol exists: that first run
  // finds nothing and scans nothing.
  Events[0] =
      RegisterProtocolNotification(&gEfiDiskInfoProtocolGuid, TPL_NOTIFY, OnDiskInfoInstalled, nullptr, &Registration);
  Events[1] = RegisterProtocolNotification(&gEfiAtaPassThruProtocolGuid, TPL_CALLBACK + 1, OnAtaPassThruInstalled,
                                           nullptr, &Registration);
  Events[2] = RegisterProtocolNotification(&gEfiNvmExpressPassThruProtocolGuid, TPL_CALLBACK, OnNvmePassThruInstalled,
                                           nullptr, &Registration);

  DiskInfoPrivate *Private = (DiskInfoPrivate *)AllocateZeroPool(sizeof(DiskInfoPrivate));
  if (Private == nullptr) {
    CloseNotifications(Events, 3);
    return EFI_OUT_OF_RESOURCES;
  }
  Private->Signature = DISK_INFO_SIGNATURE;
  Private->OpticalCount = 0;
  Private->OpticalTable = nullptr;
  Private->ControllerCount = 0;
  Private->ControllerTable = nullptr;
  Private->AtaScanDone = 0;
  Private->AtaDeviceCount = 0;
  Private->AtaDeviceTable = nullptr;
  Private->NvmeCount = 0;
  Private->NvmeTable = nullptr;
  Private->SataPortMap = mSataPortMap;
  Private->NvmeSlotMap = mNvmeSlotMap;
  Private->FillForm = FillDiskInfoForm;

  EFI_HANDLE Handle = ImageHandle;
  EFI_STATUS Status =
      gBS->InstallProtocolInterface(&Handle, &gDiskInfoFormProtocolGuid, EFI_NATIVE_INTERFACE, &Private->FillForm);
  if (EFI_ERROR(Status)) {
    FreePool(Private);
    CloseNotifications(Events, 3);
    return Status;
  }
  return Status;
}
