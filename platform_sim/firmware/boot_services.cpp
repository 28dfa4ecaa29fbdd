// The boot services entry points: thin EFIAPI functions over the current platform's
// firmware core.
#include <cstring>

#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/boot_services.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

FirmwareCore &Core() { return Platform::Current().Core(); }

EFI_TPL EFIAPI RaiseTpl(EFI_TPL tpl) { return Core().Events().Raise(tpl); }

VOID EFIAPI RestoreTpl(EFI_TPL tpl) { Core().Events().Restore(tpl); }

EFI_STATUS EFIAPI AllocatePages(EFI_ALLOCATE_TYPE type, EFI_MEMORY_TYPE memoryType, UINTN pages,
                                EFI_PHYSICAL_ADDRESS *memory) {
  if (memory == nullptr || type >= MaxAllocateType) return EFI_INVALID_PARAMETER;
  auto address = Core().Memory().AllocatePages(type, memoryType, pages, *memory);
  if (!address) return type == AllocateAddress ? EFI_NOT_FOUND : EFI_OUT_OF_RESOURCES;
  *memory = *address;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FreePages(EFI_PHYSICAL_ADDRESS memory, UINTN pages) {
  return Core().Memory().FreePages(memory, pages);
}

EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  if (buffer == nullptr) return EFI_INVALID_PARAMETER;
  *buffer = Core().Memory().AllocatePool(type, size);
  return *buffer == nullptr ? EFI_OUT_OF_RESOURCES : EFI_SUCCESS;
}

EFI_STATUS EFIAPI FreePool(VOID *buffer) {
  // SMRAM pool belongs to the SMM services.
  if (Core().Memory().InSmram(reinterpret_cast<uint64_t>(buffer))) return EFI_INVALID_PARAMETER;
  return Core().Memory().FreePool(buffer);
}

std::string EventOwner(EFI_EVENT_NOTIFY notify) {
  Platform &platform = Platform::Current();
  std::string owner = notify == nullptr ? "" : platform.Images().OwnerOf(reinterpret_cast<const void *>(notify));
  return owner.empty() ? platform.Actor() : owner;
}

EFI_STATUS EFIAPI CreateEvent(UINT32 type, EFI_TPL tpl, EFI_EVENT_NOTIFY notify, VOID *context, EFI_EVENT *event) {
  return Core().Events().Create(type, tpl, notify, context, nullptr, EventOwner(notify), event);
}

EFI_STATUS EFIAPI CreateEventEx(UINT32 type, EFI_TPL tpl, EFI_EVENT_NOTIFY notify, CONST VOID *context,
                                CONST EFI_GUID *group, EFI_EVENT *event) {
  return Core().Events().Create(type, tpl, notify, const_cast<VOID *>(context), group, EventOwner(notify), event);
}

EFI_STATUS EFIAPI SignalEvent(EFI_EVENT event) { return Core().Events().Signal(event); }

EFI_STATUS EFIAPI CloseEvent(EFI_EVENT event) {
  EFI_STATUS status = Core().Events().Close(event);
  if (status == EFI_SUCCESS) {
    Core().Protocols().ForgetEvent(event);
    Platform::Current().Record(EffectKind::EventClosed, "event closed",
                               static_cast<uint64_t>(reinterpret_cast<uintptr_t>(event)));
  }
  return status;
}

EFI_STATUS EFIAPI InstallProtocolInterface(EFI_HANDLE *handle, EFI_GUID *protocol, EFI_INTERFACE_TYPE type,
                                           VOID *interface) {
  if (protocol == nullptr || type != EFI_NATIVE_INTERFACE) return EFI_INVALID_PARAMETER;
  return Core().Protocols().Install(handle, *protocol, interface, Platform::Current().Actor());
}

EFI_STATUS EFIAPI ReinstallProtocolInterface(EFI_HANDLE handle, EFI_GUID *protocol, VOID *oldInterface,
                                             VOID *newInterface) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Core().Protocols().Reinstall(handle, *protocol, oldInterface, newInterface);
}

EFI_STATUS EFIAPI UninstallProtocolInterface(EFI_HANDLE handle, EFI_GUID *protocol, VOID *interface) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Core().Protocols().Uninstall(handle, *protocol, interface);
}

EFI_STATUS EFIAPI HandleProtocol(EFI_HANDLE handle, EFI_GUID *protocol, VOID **interface) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Core().Protocols().Handle(handle, *protocol, interface);
}

EFI_STATUS EFIAPI RegisterProtocolNotify(EFI_GUID *protocol, EFI_EVENT event, VOID **registration) {
  if (protocol == nullptr || !Core().Events().IsOpen(event)) return EFI_INVALID_PARAMETER;
  Core().CallLog().push_back("RegisterProtocolNotify " + GuidName(*protocol));
  return Core().Protocols().RegisterNotify(*protocol, event, registration);
}

EFI_STATUS EFIAPI LocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE searchType, EFI_GUID *protocol, VOID *searchKey,
                                     UINTN *count, EFI_HANDLE **buffer) {
  (void)searchKey;
  if (count == nullptr || buffer == nullptr || searchType != ByProtocol || protocol == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  std::vector<EFI_HANDLE> handles = Core().Protocols().HandlesWith(*protocol);
  *count = 0;
  *buffer = nullptr;
  if (handles.empty()) return EFI_NOT_FOUND;
  void *memory = Core().Memory().AllocatePool(EfiBootServicesData, handles.size() * sizeof(EFI_HANDLE));
  if (memory == nullptr) return EFI_OUT_OF_RESOURCES;
  std::memcpy(memory, handles.data(), handles.size() * sizeof(EFI_HANDLE));
  *buffer = static_cast<EFI_HANDLE *>(memory);
  *count = handles.size();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI LocateProtocol(EFI_GUID *protocol, VOID *registration, VOID **interface) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  Core().CallLog().push_back("LocateProtocol " + GuidName(*protocol));
  return Core().Protocols().Locate(*protocol, registration, interface);
}

EFI_STATUS EFIAPI InstallConfigurationTable(EFI_GUID *guid, VOID *table) {
  if (guid == nullptr) return EFI_INVALID_PARAMETER;
  Core().CallLog().push_back("InstallConfigurationTable " + GuidName(*guid));
  EFI_STATUS status = Core().InstallConfigurationTable(*guid, table);
  if (status == EFI_SUCCESS) Platform::Current().Record(EffectKind::ConfigTableInstall, GuidName(*guid));
  return status;
}

VOID EFIAPI CopyMem(VOID *destination, VOID *source, UINTN length) { std::memmove(destination, source, length); }

VOID EFIAPI SetMem(VOID *buffer, UINTN size, UINT8 value) { std::memset(buffer, value, size); }

}  // namespace

EFI_BOOT_SERVICES *BuildBootServices(Arena &arena) {
  auto *table = arena.NewFirmware<EFI_BOOT_SERVICES>();
  table->Hdr.Signature = EFI_BOOT_SERVICES_SIGNATURE;
  table->Hdr.Revision = EFI_2_70_SYSTEM_TABLE_REVISION;
  table->Hdr.HeaderSize = sizeof(EFI_BOOT_SERVICES);
  table->RaiseTPL = RaiseTpl;
  table->RestoreTPL = RestoreTpl;
  table->AllocatePages = AllocatePages;
  table->FreePages = FreePages;
  table->AllocatePool = AllocatePool;
  table->FreePool = FreePool;
  table->CreateEvent = CreateEvent;
  table->SignalEvent = SignalEvent;
  table->CloseEvent = CloseEvent;
  table->InstallProtocolInterface = InstallProtocolInterface;
  table->ReinstallProtocolInterface = ReinstallProtocolInterface;
  table->UninstallProtocolInterface = UninstallProtocolInterface;
  table->HandleProtocol = HandleProtocol;
  table->RegisterProtocolNotify = RegisterProtocolNotify;
  table->InstallConfigurationTable = InstallConfigurationTable;
  table->LocateHandleBuffer = LocateHandleBuffer;
  table->LocateProtocol = LocateProtocol;
  table->CopyMem = CopyMem;
  table->SetMem = SetMem;
  table->CreateEventEx = CreateEventEx;
  return table;
}

}  // namespace sim
