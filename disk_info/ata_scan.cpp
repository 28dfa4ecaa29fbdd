// ATA hard disks behind the known controllers, found once per boot through ATA pass-thru.
#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

#define ATA_CMD_IDENTIFY_DEVICE 0xEC
#define ATA_CMD_SET_FEATURES 0xEF
#define SET_FEATURES_DISABLE_SATA_FEATURE 0x90
#define SATA_FEATURE_DEVICE_SLEEP 0x09
#define IDENTIFY_WORD0_PACKET_DEVICE 0x8000
#define IDENTIFY_WORD_DEVSLP 0x0100

typedef struct {
  UINT16 Port;
  UINT16 PortMultiplierPort;
  EFI_HANDLE Handle;
} DiskInfoPortEntry;

typedef struct {
  EFI_ATA_PASS_THRU_COMMAND_PACKET Packet;
  EFI_ATA_COMMAND_BLOCK Acb;
  EFI_ATA_STATUS_BLOCK Asb;
} AtaCommand;

static UINT16 IdentifyWord(const UINT8 *Identify, UINTN Word) {
  return (UINT16)(Identify[2 * Word] | (Identify[2 * Word + 1] << 8));
}

static VOID PrepareCommand(AtaCommand *Command, UINT16 PortMultiplierPort) {
  ZeroMem(Command, sizeof(*Command));
  Command->Packet.Asb = &Command->Asb;
  Command->Packet.Acb = &Command->Acb;
  Command->Packet.Timeout = 0;
  Command->Packet.Length = EFI_ATA_PASS_THRU_LENGTH_BYTES;
  Command->Acb.AtaDeviceHead = (UINT8)(0xE0 | (PortMultiplierPort << 4));
}

EFI_STATUS SendAtaCommand(EFI_HANDLE Controller, EFI_ATA_PASS_THRU_COMMAND_PACKET *Packet, UINT16 Port,
                          UINT16 PortMultiplierPort) {
  EFI_ATA_PASS_THRU_PROTOCOL *PassThru = nullptr;
  EFI_STATUS Status = gBS->HandleProtocol(Controller, &gEfiAtaPassThruProtocolGuid, (VOID **)&PassThru);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  return PassThru->PassThru(PassThru, Port, PortMultiplierPort, Packet, nullptr);
}

// Every Disk Info handle on an ATAPI or SATA path under this controller, with the port
// the pass-thru gives for its path. The map has room for DISK_INFO_PORT_MAP_ENTRIES.
static VOID MapDiskInfoPorts(const StorageControllerRecord *Controller, EFI_ATA_PASS_THRU_PROTOCOL *PassThru,
                             EFI_HANDLE *Handles, UINTN HandleCount, DiskInfoPortEntry *Map, UINTN *MapCount) {
  for (UINTN Index = 0; Index < HandleCount; Index++) {
    if (*MapCount >= DISK_INFO_PORT_MAP_ENTRIES) {
      return;
    }
    EFI_DEVICE_PATH_PROTOCOL *Path = nullptr;
    if (EFI_ERROR(gBS->HandleProtocol(Handles[Index], &gEfiDevicePathProtocolGuid, (VOID **)&Path))) {
      continue;
    }
    PCI_DEVICE_PATH *Pci = nullptr;
    EFI_DEVICE_PATH_PROTOCOL *AtaNode = nullptr;
    FindStorageNodes(Path, &Pci, &AtaNode);
    if (Pci == nullptr || AtaNode == nullptr || Pci->Device != Controller->PciDevice ||
        Pci->Function != Controller->PciFunction) {
      continue;
    }
    UINT16 Port = 0, PortMultiplierPort = 0;
    if (EFI_ERROR(PassThru->GetDevice(PassThru, AtaNode, &Port, &PortMultiplierPort))) {
      continue;
    }
    Map[*MapCount].Port = Port;
    Map[*MapCount].PortMultiplierPort = PortMultiplierPort;
    Map[*MapCount].Handle = Handles[Index];
    (*MapCount)++;
  }
}

// Appends one record holding a copy of the IDENTIFY data; FALSE when pool ran out (the
// drive is then not recorded and nothing is kept of it).
static BOOLEAN RecordDrive(AtaDeviceRecord **Table, UINT64 *Count, const StorageControllerRecord *Controller,
                           UINT16 Port, UINT16 PortMultiplierPort, const UINT8 *Identify) {
  UINT8 *Copy = (UINT8 *)AllocateRuntimeZeroPool(IDENTIFY_BUFFER_SIZE);
  if (Copy == nullptr) {
    return FALSE;
  }
  AtaDeviceRecord *Grown;
  if (*Count == 0) {
    Grown = (AtaDeviceRecord *)AllocateRuntimeZeroPool(sizeof(AtaDeviceRecord));
  } else {
    Grown = (AtaDeviceRecord *)ReallocatePool(EfiRuntimeServicesData, *Count * sizeof(AtaDeviceRecord),
                                              (*Count + 1) * sizeof(AtaDeviceRecord), *Table);
  }
  if (Grown == nullptr) {
    FreePool(Copy);
    return FALSE;
  }
  *Table = Grown;
  CopyMem(Copy, Identify, IDENTIFY_BUFFER_SIZE);
  AtaDeviceRecord *Record = &Grown[*Count];
  (*Count)++;
  Record->IdentifyData = Copy;
  Record->DiskInfoHandle = nullptr;
  Record->ControllerHandle = Controller->ControllerHandle;
  Record->Port = Port;
  Record->PortMultiplierPort = PortMultiplierPort;
  Record->VendorId = Controller->VendorId;
  Record->DeviceId = Controller->DeviceId;
  return TRUE;
}

static VOID ReleaseDrives(AtaDeviceRecord *Table, UINT64 Count) {
  for (UINT64 Index = 0; Index < Count; Index++) {
    FreePool(Table[Index].IdentifyData);
  }
  if (Table != nullptr) {
    FreePool(Table);
  }
}

EFI_STATUS ScanAtaDevices(DiskInfoPrivate *Private) {
  if (Private->AtaScanDone == 1) {
    return EFI_SUCCESS;
  }
  DiskInfoPortEntry Map[DISK_INFO_PORT_MAP_ENTRIES];
  ZeroMem(Map, sizeof(Map));
  UINTN MapCount = 0;
  AtaDeviceRecord *Table = nullptr;
  UINT64 Count = 0;
  UINT8 *Identify = nullptr;
  AtaCommand Command;
  EFI_STATUS Status = EFI_SUCCESS;

  for (UINT8 ControllerIndex = 0; ControllerIndex < Private->ControllerCount; ControllerIndex++) {
    const StorageControllerRecord *Controller = &Private->ControllerTable[ControllerIndex];
    EFI_ATA_PASS_THRU_PROTOCOL *PassThru = nullptr;
    UINTN HandleCount = 0;
    EFI_HANDLE *Handles = nullptr;
    if (EFI_ERROR(
            gBS->HandleProtocol(Controller->ControllerHandle, &gEfiAtaPassThruProtocolGuid, (VOID **)&PassThru)) ||
        EFI_ERROR(gBS->LocateHandleBuffer(ByProtocol, &gEfiDiskInfoProtocolGuid, nullptr, &HandleCount, &Handles)) ||
        HandleCount == 0) {
      // The scan is abandoned and runs again from the start at the next notification;
      // what it had gathered is released rather than left behind.
      if (Handles != nullptr) {
        FreePool(Handles);
      }
      if (Identify != nullptr) {
        FreePool(Identify);
      }
      ReleaseDrives(Table, Count);
      return EFI_UNSUPPORTED;
    }
    if (Identify == nullptr) {
      Identify = (UINT8 *)AllocatePool(IDENTIFY_BUFFER_SIZE);
      if (Identify == nullptr) {
        FreePool(Handles);
        ReleaseDrives(Table, Count);
        return EFI_OUT_OF_RESOURCES;
      }
    }
    MapDiskInfoPorts(Controller, PassThru, Handles, HandleCount, Map, &MapCount);
    FreePool(Handles);

    UINT16 Port = 0xFFFF;
    while (!EFI_ERROR(Status = PassThru->GetNextPort(PassThru, &Port))) {
      UINT16 PortMultiplierPort = 0xFFFF;
      while (!EFI_ERROR(Status = PassThru->GetNextDevice(PassThru, Port, &PortMultiplierPort))) {
        ZeroMem(Identify, IDENTIFY_BUFFER_SIZE);
        PrepareCommand(&Command, PortMultiplierPort);
        Command.Packet.InDataBuffer = Identify;
        Command.Packet.InTransferLength = IDENTIFY_DATA_SIZE;
        Command.Packet.Protocol = EFI_ATA_PASS_THRU_PROTOCOL_PIO_DATA_IN;
        Command.Acb.AtaCommand = ATA_CMD_IDENTIFY_DEVICE;
        EFI_STATUS IdentifyStatus =
            SendAtaCommand(Controller->ControllerHandle, &Command.Packet, Port, PortMultiplierPort);
        if ((IdentifyWord(Identify, 0) & IDENTIFY_WORD0_PACKET_DEVICE) != 0) {
          continue;
        }
        if ((IdentifyWord(Identify, 120) & IDENTIFY_WORD_DEVSLP) != 0 &&
            (IdentifyWord(Identify, 121) & IDENTIFY_WORD_DEVSLP) != 0) {
          PrepareCommand(&Command, PortMultiplierPort);
          Command.Packet.Protocol = EFI_ATA_PASS_THRU_PROTOCOL_ATA_NON_DATA;
          Command.Acb.AtaCommand = ATA_CMD_SET_FEATURES;
          Command.Acb.AtaFeatures = SET_FEATURES_DISABLE_SATA_FEATURE;
          Command.Acb.AtaSectorCount = SATA_FEATURE_DEVICE_SLEEP;
          SendAtaCommand(Controller->ControllerHandle, &Command.Packet, Port, PortMultiplierPort);
        }
        if (EFI_ERROR(IdentifyStatus)) {
          continue;
        }
        if (!RecordDrive(&Table, &Count, Controller, Port, PortMultiplierPort, Identify)) {
          continue;
        }
        AtaDeviceRecord *Record = &Table[Count - 1];
        for (UINTN Entry = 0; Entry < MapCount; Entry++) {
          if (Map[Entry].Port == Port && Map[Entry].PortMultiplierPort == PortMultiplierPort) {
            Record->DiskInfoHandle = Map[Entry].Handle;
          }
        }
      }
    }
  }
  if (Identify != nullptr) {
    FreePool(Identify);
  }
  Private->AtaDeviceTable = Table;
  Private->AtaDeviceCount = Count;
  Private->AtaScanDone = 1;
  return Status;
}

VOID EFIAPI OnAtaPassThruInstalled(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  (void)Context;
  DiskInfoPrivate *Private = LocateDiskInfoPrivate();
  if (Private == nullptr) {
    return;
  }
  StorageControllerRecord *Table = nullptr;
  UINT8 Count = 0;
  if (EFI_ERROR(ScanStorageControllers(Private, &Table, &Count))) {
    return;
  }
  // Only this notification reads the controller table, so the one it replaces can go.
  StorageControllerRecord *Previous = Private->ControllerTable;
  Private->ControllerCount = Count;
  Private->ControllerTable = Table;
  if (Previous != nullptr) {
    FreePool(Previous);
  }
  ScanAtaDevices(Private);
}
