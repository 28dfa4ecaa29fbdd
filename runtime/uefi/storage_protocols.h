// PCI I/O, ATA pass-thru, NVM Express pass-thru and Disk Info protocols, and the device
// path nodes the storage drivers put on their handles, from the UEFI specification.
// Protocol structures and command packets keep the natural alignment of the
// specification's C declarations; device path nodes are byte-packed.
#pragma once

#include "runtime/uefi/types.h"

inline EFI_GUID gEfiPciIoProtocolGuid = {0x4CF5B200, 0x68B8, 0x4CA5, {0x9E, 0xEC, 0xB2, 0x3E, 0x3F, 0x50, 0x02, 0x9A}};
inline EFI_GUID gEfiAtaPassThruProtocolGuid = {
    0x1D3DE7F0, 0x0807, 0x424F, {0xAA, 0x69, 0x11, 0xA5, 0x4E, 0x19, 0xA4, 0x6F}};
inline EFI_GUID gEfiNvmExpressPassThruProtocolGuid = {
    0x52C78312, 0x8EDC, 0x4233, {0x98, 0xF2, 0x1A, 0x1A, 0xA5, 0xE3, 0x88, 0xA5}};
inline EFI_GUID gEfiDiskInfoProtocolGuid = {
    0xD432A67F, 0x14DC, 0x484B, {0xB3, 0xBB, 0x3F, 0x02, 0x91, 0x84, 0x93, 0x27}};
inline EFI_GUID gEfiDevicePathProtocolGuid = {
    0x09576E91, 0x6D3F, 0x11D2, {0x8E, 0x39, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};
// Disk Info interface kinds (the Interface member).
inline EFI_GUID gEfiDiskInfoAhciInterfaceGuid = {
    0x9E498932, 0x4ABC, 0x45AF, {0xA3, 0x4D, 0x02, 0x47, 0x78, 0x7B, 0xE7, 0xC6}};
inline EFI_GUID gEfiDiskInfoIdeInterfaceGuid = {
    0x5E948FE3, 0x26D3, 0x42B5, {0xAF, 0x17, 0x61, 0x02, 0x87, 0x18, 0x8D, 0xEC}};
inline EFI_GUID gEfiDiskInfoNvmeInterfaceGuid = {
    0x3AB14680, 0x5D3F, 0x4A4D, {0xBC, 0xDC, 0xCC, 0x38, 0x00, 0x18, 0xC7, 0xF7}};

// Device path nodes.
#pragma pack(push, 1)
typedef struct {
  UINT8 Type;
  UINT8 SubType;
  UINT8 Length[2];
} EFI_DEVICE_PATH_PROTOCOL;

#define HARDWARE_DEVICE_PATH 0x01
#define HW_PCI_DP 0x01
#define ACPI_DEVICE_PATH 0x02
#define ACPI_DP 0x01
#define MESSAGING_DEVICE_PATH 0x03
#define MSG_ATAPI_DP 0x01
#define MSG_SATA_DP 0x12
#define MSG_NVME_NAMESPACE_DP 0x17

typedef struct {
  EFI_DEVICE_PATH_PROTOCOL Header;
  UINT32 Hid;
  UINT32 Uid;
} ACPI_HID_DEVICE_PATH;
typedef struct {
  EFI_DEVICE_PATH_PROTOCOL Header;
  UINT8 Function;
  UINT8 Device;
} PCI_DEVICE_PATH;
typedef struct {
  EFI_DEVICE_PATH_PROTOCOL Header;
  UINT8 PrimarySecondary;
  UINT8 SlaveMaster;
  UINT16 Lun;
} ATAPI_DEVICE_PATH;
typedef struct {
  EFI_DEVICE_PATH_PROTOCOL Header;
  UINT16 HBAPortNumber;
  UINT16 PortMultiplierPortNumber;
  UINT16 Lun;
} SATA_DEVICE_PATH;
typedef struct {
  EFI_DEVICE_PATH_PROTOCOL Header;
  UINT32 NamespaceId;
  UINT64 NamespaceUuid;
} NVME_NAMESPACE_DEVICE_PATH;
#pragma pack(pop)
EFI_LAYOUT_SIZE(PCI_DEVICE_PATH, 6);
EFI_LAYOUT_SIZE(ATAPI_DEVICE_PATH, 8);
EFI_LAYOUT_SIZE(SATA_DEVICE_PATH, 10);
EFI_LAYOUT_SIZE(NVME_NAMESPACE_DEVICE_PATH, 16);

// PCI I/O.
typedef enum : UINT32 {
  EfiPciIoWidthUint8 = 0,
  EfiPciIoWidthUint16 = 1,
  EfiPciIoWidthUint32 = 2,
  EfiPciIoWidthUint64 = 3,
} EFI_PCI_IO_PROTOCOL_WIDTH;

typedef struct EFI_PCI_IO_PROTOCOL EFI_PCI_IO_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_CONFIG)(EFI_PCI_IO_PROTOCOL *This, EFI_PCI_IO_PROTOCOL_WIDTH Width,
                                                       UINT32 Offset, UINTN Count, VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_PCI_IO_PROTOCOL_GET_LOCATION)(EFI_PCI_IO_PROTOCOL *This, UINTN *SegmentNumber,
                                                             UINTN *BusNumber, UINTN *DeviceNumber,
                                                             UINTN *FunctionNumber);
typedef struct {
  VOID *Read;
  VOID *Write;
} EFI_PCI_IO_PROTOCOL_ACCESS;
typedef struct {
  EFI_PCI_IO_PROTOCOL_CONFIG Read;
  EFI_PCI_IO_PROTOCOL_CONFIG Write;
} EFI_PCI_IO_PROTOCOL_CONFIG_ACCESS;
struct EFI_PCI_IO_PROTOCOL {
  VOID *PollMem;
  VOID *PollIo;
  EFI_PCI_IO_PROTOCOL_ACCESS Mem;
  EFI_PCI_IO_PROTOCOL_ACCESS Io;
  EFI_PCI_IO_PROTOCOL_CONFIG_ACCESS Pci;
  VOID *CopyMem;
  VOID *Map;
  VOID *Unmap;
  VOID *AllocateBuffer;
  VOID *FreeBuffer;
  VOID *Flush;
  EFI_PCI_IO_PROTOCOL_GET_LOCATION GetLocation;
  VOID *Attributes;
  VOID *GetBarAttributes;
  VOID *SetBarAttributes;
  UINT64 RomSize;
  VOID *RomImage;
};
EFI_LAYOUT_OFFSET(EFI_PCI_IO_PROTOCOL, Pci, 48);
EFI_LAYOUT_OFFSET(EFI_PCI_IO_PROTOCOL, GetLocation, 112);
EFI_LAYOUT_SIZE(EFI_PCI_IO_PROTOCOL, 160);

// ATA pass-thru.
typedef struct {
  UINT8 Reserved1[2];
  UINT8 AtaCommand;
  UINT8 AtaFeatures;
  UINT8 AtaSectorNumber;
  UINT8 AtaCylinderLow;
  UINT8 AtaCylinderHigh;
  UINT8 AtaDeviceHead;
  UINT8 AtaSectorNumberExp;
  UINT8 AtaCylinderLowExp;
  UINT8 AtaCylinderHighExp;
  UINT8 AtaFeaturesExp;
  UINT8 AtaSectorCount;
  UINT8 AtaSectorCountExp;
  UINT8 Reserved4[6];
} EFI_ATA_COMMAND_BLOCK;
EFI_LAYOUT_SIZE(EFI_ATA_COMMAND_BLOCK, 20);
EFI_LAYOUT_OFFSET(EFI_ATA_COMMAND_BLOCK, AtaSectorCount, 12);

typedef struct {
  UINT8 Reserved1[2];
  UINT8 AtaStatus;
  UINT8 AtaError;
  UINT8 AtaSectorNumber;
  UINT8 AtaCylinderLow;
  UINT8 AtaCylinderHigh;
  UINT8 AtaDeviceHead;
  UINT8 AtaSectorNumberExp;
  UINT8 AtaCylinderLowExp;
  UINT8 AtaCylinderHighExp;
  UINT8 Reserved2;
  UINT8 AtaSectorCount;
  UINT8 AtaSectorCountExp;
  UINT8 Reserved3[6];
} EFI_ATA_STATUS_BLOCK;
EFI_LAYOUT_SIZE(EFI_ATA_STATUS_BLOCK, 20);

#define EFI_ATA_PASS_THRU_PROTOCOL_ATA_NON_DATA 0x02
#define EFI_ATA_PASS_THRU_PROTOCOL_PIO_DATA_IN 0x04
#define EFI_ATA_PASS_THRU_LENGTH_BYTES 0x80

typedef struct {
  EFI_ATA_STATUS_BLOCK *Asb;
  EFI_ATA_COMMAND_BLOCK *Acb;
  UINT64 Timeout;
  VOID *InDataBuffer;
  VOID *OutDataBuffer;
  UINT32 InTransferLength;
  UINT32 OutTransferLength;
  UINT8 Protocol;
  UINT8 Length;
} EFI_ATA_PASS_THRU_COMMAND_PACKET;
EFI_LAYOUT_OFFSET(EFI_ATA_PASS_THRU_COMMAND_PACKET, InTransferLength, 40);
EFI_LAYOUT_OFFSET(EFI_ATA_PASS_THRU_COMMAND_PACKET, Protocol, 48);
EFI_LAYOUT_SIZE(EFI_ATA_PASS_THRU_COMMAND_PACKET, 56);

typedef struct {
  UINT32 Attributes;
  UINT32 IoAlign;
} EFI_ATA_PASS_THRU_MODE;

typedef struct EFI_ATA_PASS_THRU_PROTOCOL EFI_ATA_PASS_THRU_PROTOCOL;
struct EFI_ATA_PASS_THRU_PROTOCOL {
  EFI_ATA_PASS_THRU_MODE *Mode;
  EFI_STATUS(EFIAPI *PassThru)
  (EFI_ATA_PASS_THRU_PROTOCOL *This, UINT16 Port, UINT16 PortMultiplierPort, EFI_ATA_PASS_THRU_COMMAND_PACKET *Packet,
   EFI_EVENT Event);
  EFI_STATUS(EFIAPI *GetNextPort)(EFI_ATA_PASS_THRU_PROTOCOL *This, UINT16 *Port);
  EFI_STATUS(EFIAPI *GetNextDevice)(EFI_ATA_PASS_THRU_PROTOCOL *This, UINT16 Port, UINT16 *PortMultiplierPort);
  EFI_STATUS(EFIAPI *BuildDevicePath)
  (EFI_ATA_PASS_THRU_PROTOCOL *This, UINT16 Port, UINT16 PortMultiplierPort, EFI_DEVICE_PATH_PROTOCOL **DevicePath);
  EFI_STATUS(EFIAPI *GetDevice)
  (EFI_ATA_PASS_THRU_PROTOCOL *This, EFI_DEVICE_PATH_PROTOCOL *DevicePath, UINT16 *Port, UINT16 *PortMultiplierPort);
  EFI_STATUS(EFIAPI *ResetPort)(EFI_ATA_PASS_THRU_PROTOCOL *This, UINT16 Port);
  EFI_STATUS(EFIAPI *ResetDevice)(EFI_ATA_PASS_THRU_PROTOCOL *This, UINT16 Port, UINT16 PortMultiplierPort);
};
EFI_LAYOUT_SIZE(EFI_ATA_PASS_THRU_PROTOCOL, 64);

// NVM Express pass-thru.
typedef struct {
  UINT32 Opcode : 8;
  UINT32 FusedOperation : 2;
  UINT32 Reserved : 22;
} NVME_CDW0;

#define CDW10_VALID 0x04

typedef struct {
  NVME_CDW0 Cdw0;
  UINT8 Flags;
  UINT32 Nsid;
  UINT32 Cdw2;
  UINT32 Cdw3;
  UINT32 Cdw10;
  UINT32 Cdw11;
  UINT32 Cdw12;
  UINT32 Cdw13;
  UINT32 Cdw14;
  UINT32 Cdw15;
} EFI_NVM_EXPRESS_COMMAND;
EFI_LAYOUT_OFFSET(EFI_NVM_EXPRESS_COMMAND, Nsid, 8);
EFI_LAYOUT_OFFSET(EFI_NVM_EXPRESS_COMMAND, Cdw10, 20);
EFI_LAYOUT_SIZE(EFI_NVM_EXPRESS_COMMAND, 44);

typedef struct {
  UINT32 DW0;
  UINT32 DW1;
  UINT32 DW2;
  UINT32 DW3;
} EFI_NVM_EXPRESS_COMPLETION;

typedef struct {
  UINT64 CommandTimeout;
  VOID *TransferBuffer;
  UINT32 TransferLength;
  VOID *MetadataBuffer;
  UINT32 MetadataLength;
  UINT8 QueueType;
  EFI_NVM_EXPRESS_COMMAND *NvmeCmd;
  EFI_NVM_EXPRESS_COMPLETION *NvmeCompletion;
} EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET;
EFI_LAYOUT_OFFSET(EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET, MetadataBuffer, 24);
EFI_LAYOUT_OFFSET(EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET, NvmeCmd, 40);
EFI_LAYOUT_SIZE(EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET, 56);

typedef struct {
  UINT32 Attributes;
  UINT32 IoAlign;
  UINT32 NvmeVersion;
} EFI_NVM_EXPRESS_PASS_THRU_MODE;

typedef struct EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL;
struct EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL {
  EFI_NVM_EXPRESS_PASS_THRU_MODE *Mode;
  EFI_STATUS(EFIAPI *PassThru)
  (EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *This, UINT32 NamespaceId, EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET *Packet,
   EFI_EVENT Event);
  EFI_STATUS(EFIAPI *GetNextNamespace)(EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *This, UINT32 *NamespaceId);
  EFI_STATUS(EFIAPI *BuildDevicePath)
  (EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *This, UINT32 NamespaceId, EFI_DEVICE_PATH_PROTOCOL **DevicePath);
  EFI_STATUS(EFIAPI *GetNamespace)
  (EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *This, EFI_DEVICE_PATH_PROTOCOL *DevicePath, UINT32 *NamespaceId);
};

// Disk Info.
typedef struct EFI_DISK_INFO_PROTOCOL EFI_DISK_INFO_PROTOCOL;
struct EFI_DISK_INFO_PROTOCOL {
  EFI_GUID Interface;
  EFI_STATUS(EFIAPI *Inquiry)(EFI_DISK_INFO_PROTOCOL *This, VOID *InquiryData, UINT32 *InquiryDataSize);
  EFI_STATUS(EFIAPI *Identify)(EFI_DISK_INFO_PROTOCOL *This, VOID *IdentifyData, UINT32 *IdentifyDataSize);
  EFI_STATUS(EFIAPI *SenseData)
  (EFI_DISK_INFO_PROTOCOL *This, VOID *SenseData, UINT32 *SenseDataSize, UINT8 *SenseDataNumber);
  EFI_STATUS(EFIAPI *WhichIde)(EFI_DISK_INFO_PROTOCOL *This, UINT32 *IdeChannel, UINT32 *IdeDevice);
};
EFI_LAYOUT_OFFSET(EFI_DISK_INFO_PROTOCOL, Identify, 24);
