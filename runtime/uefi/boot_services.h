// EFI_BOOT_SERVICES, from the UEFI specification (Boot Services chapter).
// Members the drivers never call keep their slot with a generic pointer type.
#pragma once

#include "runtime/uefi/system_table.h"

typedef EFI_TPL(EFIAPI *EFI_RAISE_TPL)(EFI_TPL NewTpl);
typedef VOID(EFIAPI *EFI_RESTORE_TPL)(EFI_TPL OldTpl);
typedef EFI_STATUS(EFIAPI *EFI_ALLOCATE_PAGES)(EFI_ALLOCATE_TYPE Type, EFI_MEMORY_TYPE MemoryType, UINTN Pages,
                                               EFI_PHYSICAL_ADDRESS *Memory);
typedef EFI_STATUS(EFIAPI *EFI_FREE_PAGES)(EFI_PHYSICAL_ADDRESS Memory, UINTN Pages);
typedef EFI_STATUS(EFIAPI *EFI_ALLOCATE_POOL)(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer);
typedef EFI_STATUS(EFIAPI *EFI_FREE_POOL)(VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_CREATE_EVENT)(UINT32 Type, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                                             VOID *NotifyContext, EFI_EVENT *Event);
typedef EFI_STATUS(EFIAPI *EFI_SIGNAL_EVENT)(EFI_EVENT Event);
typedef EFI_STATUS(EFIAPI *EFI_CLOSE_EVENT)(EFI_EVENT Event);
typedef EFI_STATUS(EFIAPI *EFI_INSTALL_PROTOCOL_INTERFACE)(EFI_HANDLE *Handle, EFI_GUID *Protocol,
                                                           EFI_INTERFACE_TYPE InterfaceType, VOID *Interface);
typedef EFI_STATUS(EFIAPI *EFI_REINSTALL_PROTOCOL_INTERFACE)(EFI_HANDLE Handle, EFI_GUID *Protocol, VOID *OldInterface,
                                                             VOID *NewInterface);
typedef EFI_STATUS(EFIAPI *EFI_UNINSTALL_PROTOCOL_INTERFACE)(EFI_HANDLE Handle, EFI_GUID *Protocol, VOID *Interface);
typedef EFI_STATUS(EFIAPI *EFI_HANDLE_PROTOCOL)(EFI_HANDLE Handle, EFI_GUID *Protocol, VOID **Interface);
typedef EFI_STATUS(EFIAPI *EFI_REGISTER_PROTOCOL_NOTIFY)(EFI_GUID *Protocol, EFI_EVENT Event, VOID **Registration);
typedef EFI_STATUS(EFIAPI *EFI_LOCATE_HANDLE)(EFI_LOCATE_SEARCH_TYPE SearchType, EFI_GUID *Protocol, VOID *SearchKey,
                                              UINTN *BufferSize, EFI_HANDLE *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_INSTALL_CONFIGURATION_TABLE)(EFI_GUID *Guid, VOID *Table);
typedef EFI_STATUS(EFIAPI *EFI_LOCATE_HANDLE_BUFFER)(EFI_LOCATE_SEARCH_TYPE SearchType, EFI_GUID *Protocol,
                                                     VOID *SearchKey, UINTN *NoHandles, EFI_HANDLE **Buffer);
typedef EFI_STATUS(EFIAPI *EFI_LOCATE_PROTOCOL)(EFI_GUID *Protocol, VOID *Registration, VOID **Interface);
typedef EFI_STATUS(EFIAPI *EFI_CREATE_EVENT_EX)(UINT32 Type, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                                                CONST VOID *NotifyContext, CONST EFI_GUID *EventGroup,
                                                EFI_EVENT *Event);
typedef VOID(EFIAPI *EFI_COPY_MEM)(VOID *Destination, VOID *Source, UINTN Length);
typedef VOID(EFIAPI *EFI_SET_MEM)(VOID *Buffer, UINTN Size, UINT8 Value);

typedef struct {
  UINT32 Type;
  EFI_PHYSICAL_ADDRESS PhysicalStart;
  EFI_VIRTUAL_ADDRESS VirtualStart;
  UINT64 NumberOfPages;
  UINT64 Attribute;
} EFI_MEMORY_DESCRIPTOR;
EFI_LAYOUT_OFFSET(EFI_MEMORY_DESCRIPTOR, PhysicalStart, 8);
EFI_LAYOUT_OFFSET(EFI_MEMORY_DESCRIPTOR, Attribute, 32);
EFI_LAYOUT_SIZE(EFI_MEMORY_DESCRIPTOR, 40);
#define EFI_MEMORY_DESCRIPTOR_VERSION 1u

// OpenProtocol attributes.
#define EFI_OPEN_PROTOCOL_BY_HANDLE_PROTOCOL 0x00000001u
#define EFI_OPEN_PROTOCOL_GET_PROTOCOL 0x00000002u
#define EFI_OPEN_PROTOCOL_TEST_PROTOCOL 0x00000004u
#define EFI_OPEN_PROTOCOL_BY_CHILD_CONTROLLER 0x00000008u
#define EFI_OPEN_PROTOCOL_BY_DRIVER 0x00000010u
#define EFI_OPEN_PROTOCOL_EXCLUSIVE 0x00000020u

typedef struct {
  EFI_HANDLE AgentHandle;
  EFI_HANDLE ControllerHandle;
  UINT32 Attributes;
  UINT32 OpenCount;
} EFI_OPEN_PROTOCOL_INFORMATION_ENTRY;
EFI_LAYOUT_SIZE(EFI_OPEN_PROTOCOL_INFORMATION_ENTRY, 24);

typedef EFI_STATUS(EFIAPI *EFI_GET_MEMORY_MAP)(UINTN *MemoryMapSize, EFI_MEMORY_DESCRIPTOR *MemoryMap, UINTN *MapKey,
                                               UINTN *DescriptorSize, UINT32 *DescriptorVersion);
typedef EFI_STATUS(EFIAPI *EFI_EXIT_BOOT_SERVICES)(EFI_HANDLE ImageHandle, UINTN MapKey);
typedef EFI_STATUS(EFIAPI *EFI_GET_NEXT_MONOTONIC_COUNT)(UINT64 *Count);
typedef EFI_STATUS(EFIAPI *EFI_STALL)(UINTN Microseconds);
typedef EFI_STATUS(EFIAPI *EFI_OPEN_PROTOCOL)(EFI_HANDLE Handle, EFI_GUID *Protocol, VOID **Interface,
                                              EFI_HANDLE AgentHandle, EFI_HANDLE ControllerHandle, UINT32 Attributes);
typedef EFI_STATUS(EFIAPI *EFI_CLOSE_PROTOCOL)(EFI_HANDLE Handle, EFI_GUID *Protocol, EFI_HANDLE AgentHandle,
                                               EFI_HANDLE ControllerHandle);
typedef EFI_STATUS(EFIAPI *EFI_OPEN_PROTOCOL_INFORMATION)(EFI_HANDLE Handle, EFI_GUID *Protocol,
                                                          EFI_OPEN_PROTOCOL_INFORMATION_ENTRY **EntryBuffer,
                                                          UINTN *EntryCount);
typedef EFI_STATUS(EFIAPI *EFI_PROTOCOLS_PER_HANDLE)(EFI_HANDLE Handle, EFI_GUID ***ProtocolBuffer,
                                                     UINTN *ProtocolBufferCount);
// Pairs of protocol GUID and interface pointers, ended by a null GUID pointer.
typedef EFI_STATUS(EFIAPI *EFI_INSTALL_MULTIPLE_PROTOCOL_INTERFACES)(EFI_HANDLE *Handle, ...);
typedef EFI_STATUS(EFIAPI *EFI_UNINSTALL_MULTIPLE_PROTOCOL_INTERFACES)(EFI_HANDLE Handle, ...);
typedef EFI_STATUS(EFIAPI *EFI_CALCULATE_CRC32)(VOID *Data, UINTN DataSize, UINT32 *Crc32);

typedef VOID *EFI_UNUSED_SERVICE;

struct EFI_BOOT_SERVICES {
  EFI_TABLE_HEADER Hdr;
  EFI_RAISE_TPL RaiseTPL;
  EFI_RESTORE_TPL RestoreTPL;
  EFI_ALLOCATE_PAGES AllocatePages;
  EFI_FREE_PAGES FreePages;
  EFI_GET_MEMORY_MAP GetMemoryMap;
  EFI_ALLOCATE_POOL AllocatePool;
  EFI_FREE_POOL FreePool;
  EFI_CREATE_EVENT CreateEvent;
  EFI_UNUSED_SERVICE SetTimer;
  EFI_UNUSED_SERVICE WaitForEvent;
  EFI_SIGNAL_EVENT SignalEvent;
  EFI_CLOSE_EVENT CloseEvent;
  EFI_UNUSED_SERVICE CheckEvent;
  EFI_INSTALL_PROTOCOL_INTERFACE InstallProtocolInterface;
  EFI_REINSTALL_PROTOCOL_INTERFACE ReinstallProtocolInterface;
  EFI_UNINSTALL_PROTOCOL_INTERFACE UninstallProtocolInterface;
  EFI_HANDLE_PROTOCOL HandleProtocol;
  VOID *Reserved;
  EFI_REGISTER_PROTOCOL_NOTIFY RegisterProtocolNotify;
  EFI_LOCATE_HANDLE LocateHandle;
  EFI_UNUSED_SERVICE LocateDevicePath;
  EFI_INSTALL_CONFIGURATION_TABLE InstallConfigurationTable;
  EFI_UNUSED_SERVICE LoadImage;
  EFI_UNUSED_SERVICE StartImage;
  EFI_UNUSED_SERVICE Exit;
  EFI_UNUSED_SERVICE UnloadImage;
  EFI_EXIT_BOOT_SERVICES ExitBootServices;
  EFI_GET_NEXT_MONOTONIC_COUNT GetNextMonotonicCount;
  EFI_STALL Stall;
  EFI_UNUSED_SERVICE SetWatchdogTimer;
  EFI_UNUSED_SERVICE ConnectController;
  EFI_UNUSED_SERVICE DisconnectController;
  EFI_OPEN_PROTOCOL OpenProtocol;
  EFI_CLOSE_PROTOCOL CloseProtocol;
  EFI_OPEN_PROTOCOL_INFORMATION OpenProtocolInformation;
  EFI_PROTOCOLS_PER_HANDLE ProtocolsPerHandle;
  EFI_LOCATE_HANDLE_BUFFER LocateHandleBuffer;
  EFI_LOCATE_PROTOCOL LocateProtocol;
  EFI_INSTALL_MULTIPLE_PROTOCOL_INTERFACES InstallMultipleProtocolInterfaces;
  EFI_UNINSTALL_MULTIPLE_PROTOCOL_INTERFACES UninstallMultipleProtocolInterfaces;
  EFI_CALCULATE_CRC32 CalculateCrc32;
  EFI_COPY_MEM CopyMem;
  EFI_SET_MEM SetMem;
  EFI_CREATE_EVENT_EX CreateEventEx;
};
typedef struct EFI_BOOT_SERVICES EFI_BOOT_SERVICES;

EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, RaiseTPL, 24);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, RestoreTPL, 32);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, AllocatePages, 40);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, FreePages, 48);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, AllocatePool, 64);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, FreePool, 72);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, CreateEvent, 80);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, SignalEvent, 104);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, CloseEvent, 112);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, InstallProtocolInterface, 128);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, UninstallProtocolInterface, 144);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, HandleProtocol, 152);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, RegisterProtocolNotify, 168);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, LocateHandle, 176);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, InstallConfigurationTable, 192);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, ExitBootServices, 232);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, Stall, 248);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, OpenProtocol, 280);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, LocateHandleBuffer, 312);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, LocateProtocol, 320);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, InstallMultipleProtocolInterfaces, 328);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, CalculateCrc32, 344);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, CopyMem, 352);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, SetMem, 360);
EFI_LAYOUT_OFFSET(EFI_BOOT_SERVICES, CreateEventEx, 368);
EFI_LAYOUT_SIZE(EFI_BOOT_SERVICES, 376);
