// EFI_SYSTEM_TABLE and its header, from the UEFI specification (System Table chapter).
#pragma once

#include "runtime/uefi/types.h"

struct EFI_BOOT_SERVICES;
struct EFI_RUNTIME_SERVICES;

typedef struct {
  UINT64 Signature;
  UINT32 Revision;
  UINT32 HeaderSize;
  UINT32 CRC32;
  UINT32 Reserved;
} EFI_TABLE_HEADER;
EFI_LAYOUT_SIZE(EFI_TABLE_HEADER, 24);

#define EFI_SYSTEM_TABLE_SIGNATURE 0x5453595320494249ull      // "IBI SYST"
#define EFI_BOOT_SERVICES_SIGNATURE 0x56524553544f4f42ull     // "BOOTSERV"
#define EFI_RUNTIME_SERVICES_SIGNATURE 0x56524553544e5552ull  // "RUNTSERV"
#define EFI_2_70_SYSTEM_TABLE_REVISION ((2u << 16) | 70u)

typedef struct {
  EFI_GUID VendorGuid;
  VOID *VendorTable;
} EFI_CONFIGURATION_TABLE;
EFI_LAYOUT_SIZE(EFI_CONFIGURATION_TABLE, 24);

typedef struct {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *FirmwareVendor;
  UINT32 FirmwareRevision;
  EFI_HANDLE ConsoleInHandle;
  VOID *ConIn;
  EFI_HANDLE ConsoleOutHandle;
  VOID *ConOut;
  EFI_HANDLE StandardErrorHandle;
  VOID *StdErr;
  EFI_RUNTIME_SERVICES *RuntimeServices;
  EFI_BOOT_SERVICES *BootServices;
  UINTN NumberOfTableEntries;
  EFI_CONFIGURATION_TABLE *ConfigurationTable;
} EFI_SYSTEM_TABLE;
EFI_LAYOUT_OFFSET(EFI_SYSTEM_TABLE, Hdr.Revision, 8);
EFI_LAYOUT_OFFSET(EFI_SYSTEM_TABLE, RuntimeServices, 88);
EFI_LAYOUT_OFFSET(EFI_SYSTEM_TABLE, BootServices, 96);
EFI_LAYOUT_OFFSET(EFI_SYSTEM_TABLE, NumberOfTableEntries, 104);
EFI_LAYOUT_OFFSET(EFI_SYSTEM_TABLE, ConfigurationTable, 112);
EFI_LAYOUT_SIZE(EFI_SYSTEM_TABLE, 120);

typedef EFI_STATUS(EFIAPI *EFI_IMAGE_ENTRY_POINT)(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
