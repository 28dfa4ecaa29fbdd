// EFI_DXE_SERVICES, from the PI specification (DXE Services Table).
#pragma once

#include "runtime/uefi/system_table.h"

typedef enum {
  EfiGcdMemoryTypeNonExistent = 0,
  EfiGcdMemoryTypeReserved = 1,
  EfiGcdMemoryTypeSystemMemory = 2,
  EfiGcdMemoryTypeMemoryMappedIo = 3,
  EfiGcdMemoryTypePersistent = 4,
  EfiGcdMemoryTypeMoreReliable = 5,
  EfiGcdMemoryTypeMaximum = 6
} EFI_GCD_MEMORY_TYPE;

#define EFI_MEMORY_UC 0x0000000000000001ull
#define EFI_MEMORY_WC 0x0000000000000002ull
#define EFI_MEMORY_WT 0x0000000000000004ull
#define EFI_MEMORY_WB 0x0000000000000008ull
#define EFI_MEMORY_WP 0x0000000000001000ull
#define EFI_MEMORY_RP 0x0000000000002000ull
#define EFI_MEMORY_XP 0x0000000000004000ull
#define EFI_MEMORY_RUNTIME 0x8000000000000000ull

typedef struct {
  EFI_PHYSICAL_ADDRESS BaseAddress;
  UINT64 Length;
  UINT64 Capabilities;
  UINT64 Attributes;
  EFI_GCD_MEMORY_TYPE GcdMemoryType;
  EFI_HANDLE ImageHandle;
  EFI_HANDLE DeviceHandle;
} EFI_GCD_MEMORY_SPACE_DESCRIPTOR;
EFI_LAYOUT_OFFSET(EFI_GCD_MEMORY_SPACE_DESCRIPTOR, Attributes, 24);
EFI_LAYOUT_OFFSET(EFI_GCD_MEMORY_SPACE_DESCRIPTOR, GcdMemoryType, 32);
EFI_LAYOUT_SIZE(EFI_GCD_MEMORY_SPACE_DESCRIPTOR, 56);

typedef EFI_STATUS(EFIAPI *EFI_GET_MEMORY_SPACE_DESCRIPTOR)(EFI_PHYSICAL_ADDRESS BaseAddress,
                                                            EFI_GCD_MEMORY_SPACE_DESCRIPTOR *Descriptor);
typedef EFI_STATUS(EFIAPI *EFI_SET_MEMORY_SPACE_ATTRIBUTES)(EFI_PHYSICAL_ADDRESS BaseAddress, UINT64 Length,
                                                            UINT64 Attributes);

typedef struct {
  EFI_TABLE_HEADER Hdr;
  VOID *AddMemorySpace;
  VOID *AllocateMemorySpace;
  VOID *FreeMemorySpace;
  VOID *RemoveMemorySpace;
  EFI_GET_MEMORY_SPACE_DESCRIPTOR GetMemorySpaceDescriptor;
  EFI_SET_MEMORY_SPACE_ATTRIBUTES SetMemorySpaceAttributes;
  VOID *GetMemorySpaceMap;
  VOID *AddIoSpace;
  VOID *AllocateIoSpace;
  VOID *FreeIoSpace;
  VOID *RemoveIoSpace;
  VOID *GetIoSpaceDescriptor;
  VOID *GetIoSpaceMap;
  VOID *Dispatch;
  VOID *Schedule;
  VOID *Trust;
  VOID *ProcessFirmwareVolume;
  VOID *SetMemorySpaceCapabilities;
} EFI_DXE_SERVICES;
EFI_LAYOUT_OFFSET(EFI_DXE_SERVICES, GetMemorySpaceDescriptor, 56);
EFI_LAYOUT_OFFSET(EFI_DXE_SERVICES, SetMemorySpaceAttributes, 64);
EFI_LAYOUT_SIZE(EFI_DXE_SERVICES, 168);

#define DXE_SERVICES_SIGNATURE 0x565245535f455844ull  // "DXE_SERV"
