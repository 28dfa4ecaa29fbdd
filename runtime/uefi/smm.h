// PI SMM declarations: the SMM system table and EFI_SMM_BASE2_PROTOCOL (PI specification, volume 4).
#pragma once

#include "runtime/uefi/system_table.h"

typedef EFI_STATUS(EFIAPI *EFI_SMM_ALLOCATE_POOL)(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer);
typedef EFI_STATUS(EFIAPI *EFI_SMM_FREE_POOL)(VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_SMM_INSTALL_PROTOCOL_INTERFACE)(EFI_HANDLE *Handle, EFI_GUID *Protocol,
                                                               EFI_INTERFACE_TYPE InterfaceType, VOID *Interface);
typedef EFI_STATUS(EFIAPI *EFI_SMM_LOCATE_PROTOCOL)(EFI_GUID *Protocol, VOID *Registration, VOID **Interface);

typedef struct {
  VOID *Read;
  VOID *Write;
} EFI_SMM_IO_ACCESS2;

typedef struct {
  EFI_SMM_IO_ACCESS2 Mem;
  EFI_SMM_IO_ACCESS2 Io;
} EFI_SMM_CPU_IO2_PROTOCOL;

typedef struct {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *SmmFirmwareVendor;
  UINT32 SmmFirmwareRevision;
  VOID *SmmInstallConfigurationTable;
  EFI_SMM_CPU_IO2_PROTOCOL SmmIo;
  EFI_SMM_ALLOCATE_POOL SmmAllocatePool;
  EFI_SMM_FREE_POOL SmmFreePool;
  VOID *SmmAllocatePages;
  VOID *SmmFreePages;
  VOID *SmmStartupThisAp;
  UINTN CurrentlyExecutingCpu;
  UINTN NumberOfCpus;
  UINTN *CpuSaveStateSize;
  VOID **CpuSaveState;
  UINTN NumberOfTableEntries;
  EFI_CONFIGURATION_TABLE *SmmConfigurationTable;
  EFI_SMM_INSTALL_PROTOCOL_INTERFACE SmmInstallProtocolInterface;
  VOID *SmmUninstallProtocolInterface;
  VOID *SmmHandleProtocol;
  VOID *SmmRegisterProtocolNotify;
  VOID *SmmLocateHandle;
  EFI_SMM_LOCATE_PROTOCOL SmmLocateProtocol;
  VOID *SmiManage;
  VOID *SmiHandlerRegister;
  VOID *SmiHandlerUnRegister;
} EFI_SMM_SYSTEM_TABLE2;
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmIo, 48);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmAllocatePool, 80);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmFreePool, 88);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmInstallProtocolInterface, 168);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmLocateProtocol, 208);
EFI_LAYOUT_SIZE(EFI_SMM_SYSTEM_TABLE2, 240);

#define SMM_SMST_SIGNATURE 0x54534d53ull // "SMST"

struct EFI_SMM_BASE2_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_SMM_INSIDE_OUT2)(struct EFI_SMM_BASE2_PROTOCOL *This, BOOLEAN *InSmram);
typedef EFI_STATUS(EFIAPI *EFI_SMM_GET_SMST_LOCATION2)(struct EFI_SMM_BASE2_PROTOCOL *This,
                                                       EFI_SMM_SYSTEM_TABLE2 **Smst);
struct EFI_SMM_BASE2_PROTOCOL {
  EFI_SMM_INSIDE_OUT2 InSmm;
  EFI_SMM_GET_SMST_LOCATION2 GetSmstLocation;
};
typedef struct EFI_SMM_BASE2_PROTOCOL EFI_SMM_BASE2_PROTOCOL;
EFI_LAYOUT_OFFSET(EFI_SMM_BASE2_PROTOCOL, GetSmstLocation, 8);
