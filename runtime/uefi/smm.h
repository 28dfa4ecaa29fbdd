// PI SMM declarations: the SMM system table and EFI_SMM_BASE2_PROTOCOL (PI specification, volume 4).
#pragma once

#include "runtime/uefi/system_table.h"

#include "runtime/uefi/smm_sx_dispatch.h"

typedef EFI_STATUS(EFIAPI *EFI_SMM_INSTALL_CONFIGURATION_TABLE2)(CONST struct EFI_SMM_SYSTEM_TABLE2 *SystemTable,
                                                                 CONST EFI_GUID *Guid, VOID *Table, UINTN TableSize);
typedef EFI_STATUS(EFIAPI *EFI_SMM_ALLOCATE_POOL)(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer);
typedef EFI_STATUS(EFIAPI *EFI_SMM_FREE_POOL)(VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_SMM_ALLOCATE_PAGES)(EFI_ALLOCATE_TYPE Type, EFI_MEMORY_TYPE MemoryType, UINTN Pages,
                                                   EFI_PHYSICAL_ADDRESS *Memory);
typedef EFI_STATUS(EFIAPI *EFI_SMM_FREE_PAGES)(EFI_PHYSICAL_ADDRESS Memory, UINTN Pages);
typedef VOID(EFIAPI *EFI_AP_PROCEDURE)(VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_SMM_STARTUP_THIS_AP)(EFI_AP_PROCEDURE Procedure, UINTN CpuNumber, VOID *ProcArguments);
typedef EFI_STATUS(EFIAPI *EFI_SMM_INSTALL_PROTOCOL_INTERFACE)(EFI_HANDLE *Handle, EFI_GUID *Protocol,
                                                               EFI_INTERFACE_TYPE InterfaceType, VOID *Interface);
typedef EFI_STATUS(EFIAPI *EFI_SMM_UNINSTALL_PROTOCOL_INTERFACE)(EFI_HANDLE Handle, EFI_GUID *Protocol,
                                                                 VOID *Interface);
typedef EFI_STATUS(EFIAPI *EFI_SMM_HANDLE_PROTOCOL)(EFI_HANDLE Handle, EFI_GUID *Protocol, VOID **Interface);
// Called at once, inside the installation, for every new instance of the protocol.
typedef EFI_STATUS(EFIAPI *EFI_SMM_NOTIFY_FN)(CONST EFI_GUID *Protocol, VOID *Interface, EFI_HANDLE Handle);
typedef EFI_STATUS(EFIAPI *EFI_SMM_REGISTER_PROTOCOL_NOTIFY)(CONST EFI_GUID *Protocol, EFI_SMM_NOTIFY_FN Function,
                                                             VOID **Registration);
typedef EFI_STATUS(EFIAPI *EFI_SMM_LOCATE_HANDLE)(EFI_LOCATE_SEARCH_TYPE SearchType, EFI_GUID *Protocol,
                                                  VOID *SearchKey, UINTN *BufferSize, EFI_HANDLE *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_SMM_LOCATE_PROTOCOL)(EFI_GUID *Protocol, VOID *Registration, VOID **Interface);
typedef EFI_STATUS(EFIAPI *EFI_SMM_INTERRUPT_MANAGE)(CONST EFI_GUID *HandlerType, CONST VOID *Context, VOID *CommBuffer,
                                                     UINTN *CommBufferSize);
typedef EFI_STATUS(EFIAPI *EFI_SMM_INTERRUPT_REGISTER)(EFI_SMM_HANDLER_ENTRY_POINT2 Handler,
                                                       CONST EFI_GUID *HandlerType, EFI_HANDLE *DispatchHandle);
typedef EFI_STATUS(EFIAPI *EFI_SMM_INTERRUPT_UNREGISTER)(EFI_HANDLE DispatchHandle);

// One access routine of the SMM CPU I/O protocol (width, address, count, buffer).
typedef EFI_STATUS(EFIAPI *EFI_SMM_CPU_IO2)(CONST struct EFI_SMM_CPU_IO2_PROTOCOL *This, UINT32 Width, UINT64 Address,
                                            UINTN Count, VOID *Buffer);
typedef struct {
  EFI_SMM_CPU_IO2 Read;
  EFI_SMM_CPU_IO2 Write;
} EFI_SMM_IO_ACCESS2;

struct EFI_SMM_CPU_IO2_PROTOCOL {
  EFI_SMM_IO_ACCESS2 Mem;
  EFI_SMM_IO_ACCESS2 Io;
};
typedef struct EFI_SMM_CPU_IO2_PROTOCOL EFI_SMM_CPU_IO2_PROTOCOL;

struct EFI_SMM_SYSTEM_TABLE2 {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *SmmFirmwareVendor;
  UINT32 SmmFirmwareRevision;
  EFI_SMM_INSTALL_CONFIGURATION_TABLE2 SmmInstallConfigurationTable;
  EFI_SMM_CPU_IO2_PROTOCOL SmmIo;
  EFI_SMM_ALLOCATE_POOL SmmAllocatePool;
  EFI_SMM_FREE_POOL SmmFreePool;
  EFI_SMM_ALLOCATE_PAGES SmmAllocatePages;
  EFI_SMM_FREE_PAGES SmmFreePages;
  EFI_SMM_STARTUP_THIS_AP SmmStartupThisAp;
  UINTN CurrentlyExecutingCpu;
  UINTN NumberOfCpus;
  UINTN *CpuSaveStateSize;
  VOID **CpuSaveState;
  UINTN NumberOfTableEntries;
  EFI_CONFIGURATION_TABLE *SmmConfigurationTable;
  EFI_SMM_INSTALL_PROTOCOL_INTERFACE SmmInstallProtocolInterface;
  EFI_SMM_UNINSTALL_PROTOCOL_INTERFACE SmmUninstallProtocolInterface;
  EFI_SMM_HANDLE_PROTOCOL SmmHandleProtocol;
  EFI_SMM_REGISTER_PROTOCOL_NOTIFY SmmRegisterProtocolNotify;
  EFI_SMM_LOCATE_HANDLE SmmLocateHandle;
  EFI_SMM_LOCATE_PROTOCOL SmmLocateProtocol;
  EFI_SMM_INTERRUPT_MANAGE SmiManage;
  EFI_SMM_INTERRUPT_REGISTER SmiHandlerRegister;
  EFI_SMM_INTERRUPT_UNREGISTER SmiHandlerUnRegister;
};
typedef struct EFI_SMM_SYSTEM_TABLE2 EFI_SMM_SYSTEM_TABLE2;
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmIo, 48);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmAllocatePool, 80);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmFreePool, 88);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmInstallProtocolInterface, 168);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmLocateProtocol, 208);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmStartupThisAp, 112);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmmRegisterProtocolNotify, 192);
EFI_LAYOUT_OFFSET(EFI_SMM_SYSTEM_TABLE2, SmiHandlerUnRegister, 232);
EFI_LAYOUT_SIZE(EFI_SMM_SYSTEM_TABLE2, 240);

#define SMM_SMST_SIGNATURE 0x54534d53ull  // "SMST"

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
