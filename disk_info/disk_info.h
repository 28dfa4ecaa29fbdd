// DiskInfoSetupDxe: the private structure that holds every drive the notifications find,
// the slot maps of the setup form, and the driver's routines.
#pragma once

#include "disk_info/form_protocol.h"
#include "runtime/uefi/hii.h"
#include "runtime/uefi/storage_protocols.h"
#include "runtime/uefi/system_table.h"
#include "runtime/uefi/types.h"

#define DISK_INFO_SIGNATURE 0x53445A51u  // "QZDS"
#define IDENTIFY_BUFFER_SIZE 520
#define IDENTIFY_DATA_SIZE 512
#define NVME_IDENTIFY_SIZE 4096
#define NVME_TABLE_RECORDS 10
#define DISK_INFO_PORT_MAP_ENTRIES 10
#define SATA_PORT_MAP_ROWS 4
#define DRIVE_TEXT_UNITS 41

// Drive kinds of the lookup.
#define DRIVE_KIND_OPTICAL 0
#define DRIVE_KIND_NVME 2
#define DRIVE_KIND_ATA 3

// The lookup's output: serial area at byte 0, model area at byte 200.
#define DRIVE_STRINGS_SIZE 400
#define DRIVE_STRINGS_MODEL_OFFSET 200

#pragma pack(push, 1)
typedef struct {
  EFI_HANDLE ControllerHandle;
  UINT8 ControllerKind;
  UINT16 VendorId;
  UINT16 DeviceId;
  UINTN PciDevice;
  UINTN PciFunction;
} StorageControllerRecord;

typedef struct {
  UINT16 VendorId;
  UINT16 DeviceId;
  UINT16 Port;
  UINT16 PortMultiplierPort;
  EFI_HANDLE DiskInfoHandle;
  EFI_HANDLE ControllerHandle;
  UINT8 *IdentifyData;
} AtaDeviceRecord;

typedef struct {
  UINT8 PciDevice;
  UINT8 PciFunction;
  UINT32 NamespaceId;
  CHAR16 SerialNumber[50];
  CHAR16 ModelName[50];
} NvmeDriveRecord;

typedef struct {
  UINT16 VendorId;
  UINT16 DeviceId;
  UINT8 Port;
} SataPortMapRow;

typedef struct {
  UINT8 PciDevice;
  UINT8 PciFunction;
  UINT8 Selector;
  UINT8 Slot;
} NvmeSlotMapRow;

typedef struct {
  UINT64 Signature;
  UINT64 OpticalCount;
  UINT8 *OpticalTable;
  UINT8 ControllerCount;
  StorageControllerRecord *ControllerTable;
  UINT8 AtaScanDone;
  UINT64 AtaDeviceCount;
  AtaDeviceRecord *AtaDeviceTable;
  UINT64 NvmeCount;
  NvmeDriveRecord *NvmeTable;
  SataPortMapRow *SataPortMap;
  NvmeSlotMapRow *NvmeSlotMap;
  DISK_INFO_FILL_FORM FillForm;
} DiskInfoPrivate;
#pragma pack(pop)

EFI_LAYOUT_SIZE(StorageControllerRecord, 29);
EFI_LAYOUT_OFFSET(StorageControllerRecord, DeviceId, 11);
EFI_LAYOUT_OFFSET(StorageControllerRecord, PciFunction, 21);
EFI_LAYOUT_SIZE(AtaDeviceRecord, 32);
EFI_LAYOUT_OFFSET(AtaDeviceRecord, IdentifyData, 24);
EFI_LAYOUT_SIZE(NvmeDriveRecord, 206);
EFI_LAYOUT_OFFSET(NvmeDriveRecord, SerialNumber, 6);
EFI_LAYOUT_OFFSET(NvmeDriveRecord, ModelName, 106);
EFI_LAYOUT_SIZE(SataPortMapRow, 5);
EFI_LAYOUT_SIZE(NvmeSlotMapRow, 4);
EFI_LAYOUT_SIZE(DiskInfoPrivate, 90);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, OpticalTable, 16);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, ControllerCount, 24);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, ControllerTable, 25);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, AtaScanDone, 33);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, AtaDeviceCount, 34);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, AtaDeviceTable, 42);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, NvmeCount, 50);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, NvmeTable, 58);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, SataPortMap, 66);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, NvmeSlotMap, 74);
EFI_LAYOUT_OFFSET(DiskInfoPrivate, FillForm, 82);

#define DISK_INFO_FORM_OFFSET 82
inline DiskInfoPrivate *PrivateFromForm(VOID *Interface) {
  return (DiskInfoPrivate *)((UINT8 *)Interface - DISK_INFO_FORM_OFFSET);
}
// The private structure through the published protocol, or null before it exists.
DiskInfoPrivate *LocateDiskInfoPrivate(VOID);

// The static tables of the form's slots.
extern SataPortMapRow mSataPortMap[SATA_PORT_MAP_ROWS];
extern NvmeSlotMapRow mNvmeSlotMap[];

// Driver entry and notifications.
EFI_STATUS EFIAPI DiskInfoSetupEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
VOID EFIAPI OnDiskInfoInstalled(EFI_EVENT Event, VOID *Context);
VOID EFIAPI OnAtaPassThruInstalled(EFI_EVENT Event, VOID *Context);
VOID EFIAPI OnNvmePassThruInstalled(EFI_EVENT Event, VOID *Context);

// ATA scan.
EFI_STATUS ScanStorageControllers(DiskInfoPrivate *Private, StorageControllerRecord **Table, UINT8 *Count);
EFI_STATUS ScanAtaDevices(DiskInfoPrivate *Private);
EFI_STATUS SendAtaCommand(EFI_HANDLE Controller, EFI_ATA_PASS_THRU_COMMAND_PACKET *Packet, UINT16 Port,
                          UINT16 PortMultiplierPort);
// NVMe scan.
EFI_STATUS NvmeIdentifyController(EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *PassThru, UINT32 NamespaceId, VOID *Buffer);

// Identity texts.
EFI_STATUS ExtractIdentifyString(const UINT8 *IdentifyData, UINTN FieldSelector, CHAR16 *Destination);
VOID TrimBlanks(CHAR16 *Text);
VOID SanitizeText(CHAR16 *Text);
// ExtractIdentifyString, TrimBlanks, SanitizeText: the text an ATA or optical drive shows.
VOID AtaTextRule(const UINT8 *IdentifyData, UINTN FieldSelector, CHAR16 *Destination);
// The NVMe record's texts from Identify Controller data, as the drive reported them.
VOID NvmeTextRule(const UINT8 *IdentifyController, NvmeDriveRecord *Record);
EFI_STATUS EFIAPI GetDriveStrings(DISK_INFO_FORM_PROTOCOL *This, UINTN Slot, UINT32 DriveKind, UINT8 *Output);

// Device path walks shared by the scans.
// The last PCI node and the first ATAPI or SATA node before the end node (either may be null).
VOID FindStorageNodes(EFI_DEVICE_PATH_PROTOCOL *Path, PCI_DEVICE_PATH **LastPci, EFI_DEVICE_PATH_PROTOCOL **AtaNode);

// Form fill.
typedef struct {
  UINT8 *Buffer;
  UINTN BufferSize;
  UINTN Position;
} OpCodeHandle;

#define OPCODE_HANDLE_INITIAL_SIZE 512
#define LINE_BUFFER_SIZE 256

OpCodeHandle *NewOpCodeHandle(VOID);
VOID FreeOpCodeHandle(OpCodeHandle *Handle);
UINT8 *AppendOpCode(OpCodeHandle *Handle, UINT8 *Template, UINT8 OpCode, UINTN HeaderSize, UINTN ExtraSize,
                    UINT8 Scope);
UINT8 *CreateGuidOpCode(OpCodeHandle *Handle, const EFI_GUID *Guid, const UINT8 *Data, UINTN Size);
UINT8 *CreateTextOpCode(OpCodeHandle *Handle, EFI_STRING_ID Prompt, EFI_STRING_ID Help, EFI_STRING_ID TextTwo);
EFI_STRING_ID NewHiiString(EFI_HII_HANDLE HiiHandle, const CHAR16 *Text);
EFI_STATUS UpdateForm(EFI_HII_HANDLE HiiHandle, const EFI_GUID *FormSetGuid, UINT16 FormId, OpCodeHandle *Start);
// Rewrites one forms package into Output (room for OutputSize bytes): the start handle's
// op-codes after its first go in after the anchor inside the form.
EFI_STATUS RewriteFormsPackage(const UINT8 *Package, UINT32 PackageLength, UINT8 *Output, UINTN OutputSize,
                               const EFI_GUID *FormSetGuid, UINT16 FormId, const OpCodeHandle *Start,
                               UINT32 *OutputLength);
EFI_STATUS EFIAPI FillDiskInfoForm(DISK_INFO_FORM_PROTOCOL *This, UINT8 SlotCount, EFI_HII_HANDLE HiiHandle);
