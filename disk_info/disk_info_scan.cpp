// The optical drive, found through the Disk Info instances on ATAPI and SATA paths.
#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

#define IDENTIFY_WORD0_PACKET_DEVICE 0x8000

VOID EFIAPI OnDiskInfoInstalled(EFI_EVENT Event, VOID *Context) {
  (void)Context;
  DiskInfoPrivate *Private = LocateDiskInfoPrivate();
  if (Private == nullptr) {
    return;
  }
  UINTN HandleCount = 0;
  EFI_HANDLE *Handles = nullptr;
  if (EFI_ERROR(gBS->LocateHandleBuffer(ByProtocol, &gEfiDiskInfoProtocolGuid, nullptr, &HandleCount, &Handles))) {
    return;
  }
  // What Identify reports as the size is used for the next handle of this run.
  UINT32 IdentifySize = IDENTIFY_BUFFER_SIZE;
  for (UINTN Index = 0; Index < HandleCount; Index++) {
    EFI_DEVICE_PATH_PROTOCOL *Path = nullptr;
    if (EFI_ERROR(gBS->HandleProtocol(Handles[Index], &gEfiDevicePathProtocolGuid, (VOID **)&Path))) {
      continue;
    }
    PCI_DEVICE_PATH *Pci = nullptr;
    EFI_DEVICE_PATH_PROTOCOL *AtaNode = nullptr;
    FindStorageNodes(Path, &Pci, &AtaNode);
    if (AtaNode == nullptr) {
      continue;
    }
    EFI_DISK_INFO_PROTOCOL *DiskInfo = nullptr;
    if (EFI_ERROR(gBS->HandleProtocol(Handles[Index], &gEfiDiskInfoProtocolGuid, (VOID **)&DiskInfo))) {
      continue;
    }
    UINT8 *Identify = (UINT8 *)AllocateRuntimePool(IDENTIFY_BUFFER_SIZE);
    if (Identify == nullptr) {
      continue;
    }
    // The buffer holds 520 bytes whatever size the previous handle asked for.
    if (IdentifySize > IDENTIFY_BUFFER_SIZE) {
      IdentifySize = IDENTIFY_BUFFER_SIZE;
    }
    ZeroMem(Identify, IdentifySize);
    EFI_STATUS Status = DiskInfo->Identify(DiskInfo, Identify, &IdentifySize);
    if (!EFI_ERROR(Status) && (Identify[1] & (IDENTIFY_WORD0_PACKET_DEVICE >> 8)) != 0 && Private->OpticalCount == 0) {
      UINT8 *Record = (UINT8 *)AllocateRuntimeZeroPool(IDENTIFY_BUFFER_SIZE);
      if (Record != nullptr) {
        CopyMem(Record, Identify, IDENTIFY_BUFFER_SIZE);
        Private->OpticalTable = Record;
        Private->OpticalCount = 1;
        gBS->CloseEvent(Event);
      }
    }
    FreePool(Identify);
  }
  FreePool(Handles);
}
