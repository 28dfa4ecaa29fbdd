// Which drive stands in which slot of the form, and its texts.
#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"
#include "runtime/uefi/status.h"

#define NVME_SLOT_MAP_END 0xFF
#define NVME_SELECTOR_PCI 1

static CHAR16 mNoSerial[] = u"NONE";

static VOID CopyDriveText(UINT8 *Output, UINTN Offset, const CHAR16 *Working) {
  CopyMem(Output + Offset, Working, DRIVE_TEXT_UNITS * sizeof(CHAR16));
}

static EFI_STATUS AtaDriveStrings(DiskInfoPrivate *Private, UINTN Slot, UINT8 *Output) {
  // The ATA slots are the rows of SataPortMap; a slot past them names no drive.
  if (Slot >= SATA_PORT_MAP_ROWS) {
    return EFI_INVALID_PARAMETER;
  }
  const SataPortMapRow *Row = &Private->SataPortMap[Slot];
  const AtaDeviceRecord *Found = nullptr;
  for (UINT64 Index = 0; Index < Private->AtaDeviceCount; Index++) {
    const AtaDeviceRecord *Record = &Private->AtaDeviceTable[Index];
    if (Record->Port == Row->Port && Record->VendorId == Row->VendorId && Record->DeviceId == Row->DeviceId) {
      Found = Record;
      break;
    }
  }
  if (Found == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  CHAR16 Working[DRIVE_TEXT_UNITS];
  ZeroMem(Working, sizeof(Working));
  AtaTextRule(Found->IdentifyData, 1, Working);
  CopyDriveText(Output, DRIVE_STRINGS_MODEL_OFFSET, Working);
  ZeroMem(Working, sizeof(Working));
  AtaTextRule(Found->IdentifyData, 0, Working);
  CopyDriveText(Output, 0, Working);
  return EFI_SUCCESS;
}

static EFI_STATUS NvmeDriveStrings(DiskInfoPrivate *Private, UINTN Slot, UINT8 *Output) {
  for (const NvmeSlotMapRow *Row = Private->NvmeSlotMap; Row->PciDevice != NVME_SLOT_MAP_END; Row++) {
    if (Row->Slot != Slot) {
      continue;
    }
    for (UINT64 Index = 0; Index < Private->NvmeCount; Index++) {
      const NvmeDriveRecord *Record = &Private->NvmeTable[Index];
      BOOLEAN Match = (Row->Selector == NVME_SELECTOR_PCI)
                          ? (Record->PciDevice == Row->PciDevice && Record->PciFunction == Row->PciFunction)
                          : (Record->NamespaceId == Row->Selector);
      if (Match) {
        CopyMem(Output + DRIVE_STRINGS_MODEL_OFFSET, Record->ModelName, sizeof(Record->ModelName));
        CopyMem(Output, Record->SerialNumber, sizeof(Record->SerialNumber));
        return EFI_SUCCESS;
      }
    }
  }
  return EFI_INVALID_PARAMETER;
}

static EFI_STATUS OpticalDriveStrings(DiskInfoPrivate *Private, UINT8 *Output) {
  if (Private->OpticalCount == 0 || Private->OpticalTable == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  CHAR16 Working[DRIVE_TEXT_UNITS];
  ZeroMem(Working, sizeof(Working));
  AtaTextRule(Private->OpticalTable, 1, Working);
  CopyDriveText(Output, DRIVE_STRINGS_MODEL_OFFSET, Working);
  CopyMem(Output, mNoSerial, sizeof(mNoSerial));
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetDriveStrings(DISK_INFO_FORM_PROTOCOL *This, UINTN Slot, UINT32 DriveKind, UINT8 *Output) {
  DiskInfoPrivate *Private = PrivateFromForm(This);
  switch (DriveKind) {
    case DRIVE_KIND_ATA: return AtaDriveStrings(Private, Slot, Output);
    case DRIVE_KIND_NVME: return NvmeDriveStrings(Private, Slot, Output);
    case DRIVE_KIND_OPTICAL: return OpticalDriveStrings(Private, Output);
    default: return EFI_INVALID_PARAMETER;
  }
}
