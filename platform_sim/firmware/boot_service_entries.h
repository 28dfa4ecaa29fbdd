// The boot services entry points, by group (memory, protocols); the table that
// publishes them is built in boot_services.cpp.
#pragma once

#include "runtime/uefi/boot_services.h"

namespace sim::bs {

EFI_STATUS EFIAPI AllocatePages(EFI_ALLOCATE_TYPE type, EFI_MEMORY_TYPE memoryType, UINTN pages,
                                EFI_PHYSICAL_ADDRESS *memory);
EFI_STATUS EFIAPI FreePages(EFI_PHYSICAL_ADDRESS memory, UINTN pages);
EFI_STATUS EFIAPI GetMemoryMap(UINTN *mapSize, EFI_MEMORY_DESCRIPTOR *map, UINTN *mapKey, UINTN *descriptorSize,
                               UINT32 *descriptorVersion);
EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer);
EFI_STATUS EFIAPI FreePool(VOID *buffer);

EFI_STATUS EFIAPI InstallProtocolInterface(EFI_HANDLE *handle, EFI_GUID *protocol, EFI_INTERFACE_TYPE type,
                                           VOID *interface);
EFI_STATUS EFIAPI ReinstallProtocolInterface(EFI_HANDLE handle, EFI_GUID *protocol, VOID *oldInterface,
                                             VOID *newInterface);
EFI_STATUS EFIAPI UninstallProtocolInterface(EFI_HANDLE handle, EFI_GUID *protocol, VOID *interface);
EFI_STATUS EFIAPI HandleProtocol(EFI_HANDLE handle, EFI_GUID *protocol, VOID **interface);
EFI_STATUS EFIAPI RegisterProtocolNotify(EFI_GUID *protocol, EFI_EVENT event, VOID **registration);
EFI_STATUS EFIAPI LocateHandle(EFI_LOCATE_SEARCH_TYPE searchType, EFI_GUID *protocol, VOID *searchKey,
                               UINTN *bufferSize, EFI_HANDLE *buffer);
EFI_STATUS EFIAPI OpenProtocol(EFI_HANDLE handle, EFI_GUID *protocol, VOID **interface, EFI_HANDLE agent,
                               EFI_HANDLE controller, UINT32 attributes);
EFI_STATUS EFIAPI CloseProtocol(EFI_HANDLE handle, EFI_GUID *protocol, EFI_HANDLE agent, EFI_HANDLE controller);
EFI_STATUS EFIAPI OpenProtocolInformation(EFI_HANDLE handle, EFI_GUID *protocol,
                                          EFI_OPEN_PROTOCOL_INFORMATION_ENTRY **entries, UINTN *count);
EFI_STATUS EFIAPI ProtocolsPerHandle(EFI_HANDLE handle, EFI_GUID ***protocols, UINTN *count);
EFI_STATUS EFIAPI LocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE searchType, EFI_GUID *protocol, VOID *searchKey,
                                     UINTN *count, EFI_HANDLE **buffer);
EFI_STATUS EFIAPI LocateProtocol(EFI_GUID *protocol, VOID *registration, VOID **interface);
EFI_STATUS EFIAPI InstallMultipleProtocolInterfaces(EFI_HANDLE *handle, ...);
EFI_STATUS EFIAPI UninstallMultipleProtocolInterfaces(EFI_HANDLE handle, ...);

}  // namespace sim::bs
