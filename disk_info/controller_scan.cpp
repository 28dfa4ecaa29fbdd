// The PCI mass-storage controllers the driver knows: IDE, AHCI and RAID.
#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

#define PCI_CLASS_MASS_STORAGE 0x01
#define PCI_SUBCLASS_IDE 0x01
#define PCI_SUBCLASS_RAID 0x04
#define PCI_SUBCLASS_SATA 0x06
#define VENDOR_INTEL 0x8086
#define VENDOR_AMD 0x1022
#define WILDCARD_ROWS 3

static BOOLEAN ControllerKind(const UINT8 *ClassCode, UINT8 *Kind) {
  UINT8 Interface = ClassCode[0];
  UINT8 SubClass = ClassCode[1];
  UINT8 BaseClass = ClassCode[2];
  if (BaseClass != PCI_CLASS_MASS_STORAGE) {
    return FALSE;
  }
  if (SubClass == PCI_SUBCLASS_IDE) {
    *Kind = 0;
    return TRUE;
  }
  if (SubClass == PCI_SUBCLASS_SATA && Interface == 0x01) {
    *Kind = 1;
    return TRUE;
  }
  if (SubClass == PCI_SUBCLASS_RAID && Interface == 0x00) {
    *Kind = 2;
    return TRUE;
  }
  return FALSE;
}

static BOOLEAN DeviceIdConvention(UINT16 VendorId) { return VendorId == VENDOR_INTEL || VendorId == VENDOR_AMD; }

// Binds the wildcard rows of SataPortMap to the first controller of another vendor.
static VOID BindWildcardRows(DiskInfoPrivate *Private, const StorageControllerRecord *Table, UINT8 Count) {
  for (UINTN Row = 0; Row < WILDCARD_ROWS; Row++) {
    SataPortMapRow *MapRow = &Private->SataPortMap[Row];
    if (MapRow->VendorId != 0xFFFF) {
      continue;
    }
    for (UINT8 Index = 0; Index < Count; Index++) {
      if (!DeviceIdConvention(Table[Index].VendorId)) {
        MapRow->VendorId = Table[Index].VendorId;
        MapRow->DeviceId = Table[Index].DeviceId;
        MapRow->Port = 0;
        break;
      }
    }
  }
}

EFI_STATUS ScanStorageControllers(DiskInfoPrivate *Private, StorageControllerRecord **Table, UINT8 *Count) {
  UINTN HandleCount = 0;
  EFI_HANDLE *Handles = nullptr;
  EFI_STATUS Status = gBS->LocateHandleBuffer(ByProtocol, &gEfiPciIoProtocolGuid, nullptr, &HandleCount, &Handles);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  StorageControllerRecord *Records = nullptr;
  UINT8 Kept = 0;
  for (UINTN Index = 0; Index < HandleCount; Index++) {
    EFI_PCI_IO_PROTOCOL *PciIo = nullptr;
    if (EFI_ERROR(gBS->HandleProtocol(Handles[Index], &gEfiPciIoProtocolGuid, (VOID **)&PciIo))) {
      continue;
    }
    UINTN Segment = 0, Bus = 0, Device = 0, Function = 0;
    if (EFI_ERROR(PciIo->GetLocation(PciIo, &Segment, &Bus, &Device, &Function))) {
      continue;
    }
    UINT8 ClassCode[3] = {0, 0, 0};
    PciIo->Pci.Read(PciIo, EfiPciIoWidthUint8, 0x09, 3, ClassCode);
    UINT8 Kind = 0;
    if (!ControllerKind(ClassCode, &Kind)) {
      continue;
    }
    // The count is a UINT8: a 256th controller is not recorded rather than wrapping.
    if (Kept == 0xFF) {
      continue;
    }
    StorageControllerRecord *Grown;
    if (Kept == 0) {
      Grown = (StorageControllerRecord *)AllocateZeroPool(sizeof(StorageControllerRecord));
    } else {
      Grown = (StorageControllerRecord *)ReallocatePool(EfiRuntimeServicesData, Kept * sizeof(StorageControllerRecord),
                                                        (Kept + 1) * sizeof(StorageControllerRecord), Records);
    }
    // No pool: this controller goes unrecorded, the earlier records stay.
    if (Grown == nullptr) {
      continue;
    }
    Records = Grown;
    StorageControllerRecord *Record = &Records[Kept];
    Kept++;
    Record->ControllerHandle = Handles[Index];
    Record->ControllerKind = Kind;
    Record->PciDevice = Device;
    Record->PciFunction = Function;
    UINT16 VendorId = 0;
    PciIo->Pci.Read(PciIo, EfiPciIoWidthUint16, 0x00, 1, &VendorId);
    Record->VendorId = VendorId;
    if (DeviceIdConvention(VendorId)) {
      Record->DeviceId = 0xFFFF;
    } else {
      UINT16 DeviceId = 0;
      PciIo->Pci.Read(PciIo, EfiPciIoWidthUint16, 0x02, 1, &DeviceId);
      Record->DeviceId = DeviceId;
    }
  }
  *Count = Kept;
  *Table = Records;
  BindWildcardRows(Private, Records, Kept);
  FreePool(Handles);
  return EFI_SUCCESS;
}
