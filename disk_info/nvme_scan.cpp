// NVMe drives: the table is rebuilt from every namespace of every NVMe pass-thru instance.
#include "disk_info/disk_info.h"
#include "runtime/base/device_path.h"
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

#define NVME_ADMIN_IDENTIFY 0x06
#define NVME_CNS_CONTROLLER 1
#define NVME_IDENTIFY_TIMEOUT 50000000ull  // 5 s in 100 ns units
#define NVME_TABLE_SIZE (NVME_TABLE_RECORDS * sizeof(NvmeDriveRecord))

EFI_STATUS NvmeIdentifyController(EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *PassThru, UINT32 NamespaceId, VOID *Buffer) {
  EFI_NVM_EXPRESS_COMMAND Command;
  EFI_NVM_EXPRESS_COMPLETION Completion;
  EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET Packet;
  ZeroMem(&Command, sizeof(Command));
  ZeroMem(&Completion, sizeof(Completion));
  ZeroMem(&Packet, sizeof(Packet));
  Command.Cdw0.Opcode = NVME_ADMIN_IDENTIFY;
  Command.Cdw0.FusedOperation = 0;
  Command.Flags = CDW10_VALID;
  Command.Nsid = NamespaceId;
  Command.Cdw10 = NVME_CNS_CONTROLLER;
  Packet.CommandTimeout = NVME_IDENTIFY_TIMEOUT;
  Packet.TransferBuffer = Buffer;
  Packet.TransferLength = NVME_IDENTIFY_SIZE;
  Packet.MetadataBuffer = nullptr;
  Packet.MetadataLength = 0;
  Packet.QueueType = 0;
  Packet.NvmeCmd = &Command;
  Packet.NvmeCompletion = &Completion;
  return PassThru->PassThru(PassThru, NamespaceId, &Packet, nullptr);
}

static PCI_DEVICE_PATH *FirstPciNode(EFI_DEVICE_PATH_PROTOCOL *Path) {
  for (VOID *Node = Path; !IsDevicePathEnd(Node); Node = NextDevicePathNode(Node)) {
    // A node shorter than its header would never advance.
    if (DevicePathNodeLength(Node) < sizeof(EFI_DEVICE_PATH_PROTOCOL)) {
      return nullptr;
    }
    if (DevicePathType(Node) == HARDWARE_DEVICE_PATH && DevicePathSubType(Node) == HW_PCI_DP) {
      return (PCI_DEVICE_PATH *)Node;
    }
  }
  return nullptr;
}

// Fills one record for the namespace; FALSE when the namespace gives none.
static BOOLEAN IdentifyNamespace(EFI_HANDLE Handle, EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *PassThru, UINT32 NamespaceId,
                                 UINT8 *Data, NvmeDriveRecord *Record) {
  UINT8 PciDevice = 0, PciFunction = 0;
  if (NamespaceId > 1) {
    ZeroMem(Data, NVME_IDENTIFY_SIZE);
    if (EFI_ERROR(NvmeIdentifyController(PassThru, NamespaceId, Data))) {
      return FALSE;
    }
  } else {
    EFI_DEVICE_PATH_PROTOCOL *Path = nullptr;
    if (EFI_ERROR(gBS->HandleProtocol(Handle, &gEfiDevicePathProtocolGuid, (VOID **)&Path))) {
      return FALSE;
    }
    PCI_DEVICE_PATH *Pci = FirstPciNode(Path);
    ZeroMem(Data, NVME_IDENTIFY_SIZE);
    if (EFI_ERROR(NvmeIdentifyController(PassThru, 0, Data)) || Pci == nullptr) {
      return FALSE;
    }
    PciDevice = Pci->Device;
    PciFunction = Pci->Function;
  }
  Record->PciDevice = PciDevice;
  Record->PciFunction = PciFunction;
  Record->NamespaceId = NamespaceId;
  NvmeTextRule(Data, Record);
  return TRUE;
}

VOID EFIAPI OnNvmePassThruInstalled(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  (void)Context;
  VOID *Any = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiNvmExpressPassThruProtocolGuid, nullptr, &Any))) {
    return;
  }
  DiskInfoPrivate *Private = LocateDiskInfoPrivate();
  if (Private == nullptr) {
    return;
  }
  if (Private->NvmeTable == nullptr) {
    Private->NvmeTable = (NvmeDriveRecord *)AllocatePool(NVME_TABLE_SIZE);
    if (Private->NvmeTable == nullptr) {
      return;
    }
  }
  Private->NvmeCount = 0;
  ZeroMem(Private->NvmeTable, NVME_TABLE_SIZE);

  UINTN HandleCount = 0;
  EFI_HANDLE *Handles = nullptr;
  if (EFI_ERROR(
          gBS->LocateHandleBuffer(ByProtocol, &gEfiNvmExpressPassThruProtocolGuid, nullptr, &HandleCount, &Handles))) {
    return;
  }
  UINT8 *Data = (UINT8 *)AllocatePool(NVME_IDENTIFY_SIZE);
  if (Data == nullptr) {
    FreePool(Handles);
    return;
  }
  // The table holds NVME_TABLE_RECORDS records; namespaces past them are not recorded.
  for (UINTN Index = 0; Index < HandleCount && Private->NvmeCount < NVME_TABLE_RECORDS; Index++) {
    EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *PassThru = nullptr;
    if (EFI_ERROR(gBS->HandleProtocol(Handles[Index], &gEfiNvmExpressPassThruProtocolGuid, (VOID **)&PassThru))) {
      continue;
    }
    UINT32 NamespaceId = 0xFFFFFFFF;
    while (Private->NvmeCount < NVME_TABLE_RECORDS && !EFI_ERROR(PassThru->GetNextNamespace(PassThru, &NamespaceId))) {
      NvmeDriveRecord *Record = &Private->NvmeTable[Private->NvmeCount];
      if (IdentifyNamespace(Handles[Index], PassThru, NamespaceId, Data, Record)) {
        Private->NvmeCount++;
      }
    }
  }
  FreePool(Data);
  FreePool(Handles);
}
