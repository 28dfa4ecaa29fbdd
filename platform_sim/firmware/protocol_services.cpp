// The protocol handler boot services over the platform's protocol database.
#include <cstring>

#include "platform_sim/firmware/boot_service_entries.h"
#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace sim::bs {

namespace {

FirmwareCore &Core() { return Platform::Current().Core(); }
ProtocolDatabase &Protocols() { return Core().Protocols(); }

// The handles a search finds; a search by registration takes the next handle only and
// moves the registration's cursor only when `advance`.
EFI_STATUS Search(EFI_LOCATE_SEARCH_TYPE searchType, EFI_GUID *protocol, VOID *searchKey, bool advance,
                  std::vector<EFI_HANDLE> &handles) {
  switch (static_cast<uint32_t>(searchType)) {
    case AllHandles: handles = Protocols().AllHandles(); break;
    case ByRegisterNotify: {
      if (searchKey == nullptr) return EFI_INVALID_PARAMETER;
      EFI_HANDLE handle = nullptr;
      EFI_STATUS status = Protocols().NextRegistered(searchKey, advance, &handle);
      if (status == EFI_INVALID_PARAMETER) return status;
      if (status == EFI_SUCCESS) handles.push_back(handle);
      break;
    }
    case ByProtocol:
      if (protocol == nullptr) return EFI_INVALID_PARAMETER;
      handles = Protocols().HandlesWith(*protocol);
      break;
    default: return EFI_INVALID_PARAMETER;
  }
  return handles.empty() ? EFI_NOT_FOUND : EFI_SUCCESS;
}

// A pool buffer for results the caller frees with FreePool.
void *ResultBuffer(size_t size) { return Core().Memory().AllocatePool(EfiBootServicesData, size); }

}  // namespace

EFI_STATUS EFIAPI InstallProtocolInterface(EFI_HANDLE *handle, EFI_GUID *protocol, EFI_INTERFACE_TYPE type,
                                           VOID *interface) {
  if (!EnterBootService("InstallProtocolInterface", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr || type != EFI_NATIVE_INTERFACE) return EFI_INVALID_PARAMETER;
  return Protocols().Install(handle, *protocol, interface, Platform::Current().Actor());
}

EFI_STATUS EFIAPI ReinstallProtocolInterface(EFI_HANDLE handle, EFI_GUID *protocol, VOID *oldInterface,
                                             VOID *newInterface) {
  if (!EnterBootService("ReinstallProtocolInterface", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Protocols().Reinstall(handle, *protocol, oldInterface, newInterface);
}

EFI_STATUS EFIAPI UninstallProtocolInterface(EFI_HANDLE handle, EFI_GUID *protocol, VOID *interface) {
  if (!EnterBootService("UninstallProtocolInterface", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Protocols().Uninstall(handle, *protocol, interface);
}

EFI_STATUS EFIAPI HandleProtocol(EFI_HANDLE handle, EFI_GUID *protocol, VOID **interface) {
  if (!EnterBootService("HandleProtocol", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Protocols().Handle(handle, *protocol, interface);
}

EFI_STATUS EFIAPI RegisterProtocolNotify(EFI_GUID *protocol, EFI_EVENT event, VOID **registration) {
  if (!EnterBootService("RegisterProtocolNotify", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr || !Core().Events().IsOpen(event)) return EFI_INVALID_PARAMETER;
  Core().CallLog().push_back("RegisterProtocolNotify " + GuidName(*protocol));
  return Protocols().RegisterNotify(*protocol, event, registration);
}

EFI_STATUS EFIAPI LocateHandle(EFI_LOCATE_SEARCH_TYPE searchType, EFI_GUID *protocol, VOID *searchKey,
                               UINTN *bufferSize, EFI_HANDLE *buffer) {
  if (!EnterBootService("LocateHandle", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (bufferSize == nullptr) return EFI_INVALID_PARAMETER;
  std::vector<EFI_HANDLE> handles;
  EFI_STATUS status = Search(searchType, protocol, searchKey, false, handles);
  if (status != EFI_SUCCESS) return status;
  UINTN needed = handles.size() * sizeof(EFI_HANDLE);
  if (*bufferSize < needed) {
    *bufferSize = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (buffer == nullptr) return EFI_INVALID_PARAMETER;
  if (searchType == ByRegisterNotify) {
    handles.clear();
    Search(searchType, protocol, searchKey, true, handles);
  }
  std::memcpy(buffer, handles.data(), needed);
  *bufferSize = needed;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI LocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE searchType, EFI_GUID *protocol, VOID *searchKey,
                                     UINTN *count, EFI_HANDLE **buffer) {
  if (!EnterBootService("LocateHandleBuffer", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (count == nullptr || buffer == nullptr) return EFI_INVALID_PARAMETER;
  *count = 0;
  *buffer = nullptr;
  std::vector<EFI_HANDLE> handles;
  EFI_STATUS status = Search(searchType, protocol, searchKey, true, handles);
  if (status != EFI_SUCCESS) return status;
  void *memory = ResultBuffer(handles.size() * sizeof(EFI_HANDLE));
  if (memory == nullptr) return EFI_OUT_OF_RESOURCES;
  std::memcpy(memory, handles.data(), handles.size() * sizeof(EFI_HANDLE));
  *buffer = static_cast<EFI_HANDLE *>(memory);
  *count = handles.size();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI LocateProtocol(EFI_GUID *protocol, VOID *registration, VOID **interface) {
  if (!EnterBootService("LocateProtocol", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  Core().CallLog().push_back("LocateProtocol " + GuidName(*protocol));
  return Protocols().Locate(*protocol, registration, interface);
}

EFI_STATUS EFIAPI OpenProtocol(EFI_HANDLE handle, EFI_GUID *protocol, VOID **interface, EFI_HANDLE agent,
                               EFI_HANDLE controller, UINT32 attributes) {
  if (!EnterBootService("OpenProtocol", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Protocols().Open(handle, *protocol, interface, agent, controller, attributes);
}

EFI_STATUS EFIAPI CloseProtocol(EFI_HANDLE handle, EFI_GUID *protocol, EFI_HANDLE agent, EFI_HANDLE controller) {
  if (!EnterBootService("CloseProtocol", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Protocols().Close(handle, *protocol, agent, controller);
}

EFI_STATUS EFIAPI OpenProtocolInformation(EFI_HANDLE handle, EFI_GUID *protocol,
                                          EFI_OPEN_PROTOCOL_INFORMATION_ENTRY **entries, UINTN *count) {
  if (!EnterBootService("OpenProtocolInformation", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocol == nullptr || entries == nullptr || count == nullptr) return EFI_INVALID_PARAMETER;
  const ProtocolEntry *entry = Protocols().Entry(handle, *protocol);
  if (entry == nullptr) return EFI_NOT_FOUND;
  *entries = static_cast<EFI_OPEN_PROTOCOL_INFORMATION_ENTRY *>(
      ResultBuffer(sizeof(EFI_OPEN_PROTOCOL_INFORMATION_ENTRY) * (entry->opens.empty() ? 1 : entry->opens.size())));
  if (*entries == nullptr) return EFI_OUT_OF_RESOURCES;
  for (size_t index = 0; index < entry->opens.size(); ++index) {
    const OpenRecord &open = entry->opens[index];
    (*entries)[index] = EFI_OPEN_PROTOCOL_INFORMATION_ENTRY{open.agent, open.controller, open.attributes, open.count};
  }
  *count = entry->opens.size();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI ProtocolsPerHandle(EFI_HANDLE handle, EFI_GUID ***protocols, UINTN *count) {
  if (!EnterBootService("ProtocolsPerHandle", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (protocols == nullptr || count == nullptr) return EFI_INVALID_PARAMETER;
  const HandleRecord *record = nullptr;
  for (const HandleRecord &candidate : Protocols().Handles()) {
    if (candidate.handle == handle) record = &candidate;
  }
  if (record == nullptr) return EFI_INVALID_PARAMETER;
  size_t entries = record->protocols.size();
  // One block the caller frees: the pointer array, then the GUIDs it points at.
  auto *block = static_cast<uint8_t *>(ResultBuffer(entries * (sizeof(EFI_GUID *) + sizeof(EFI_GUID))));
  if (block == nullptr) return EFI_OUT_OF_RESOURCES;
  auto **array = reinterpret_cast<EFI_GUID **>(block);
  auto *guids = reinterpret_cast<EFI_GUID *>(block + entries * sizeof(EFI_GUID *));
  for (size_t index = 0; index < entries; ++index) {
    guids[index] = record->protocols[index].guid;
    array[index] = &guids[index];
  }
  *protocols = array;
  *count = entries;
  return EFI_SUCCESS;
}

namespace {
ProtocolDatabase::Pairs ReadPairs(__builtin_ms_va_list &args) {
  ProtocolDatabase::Pairs pairs;
  for (;;) {
    auto *guid = __builtin_va_arg(args, EFI_GUID *);
    if (guid == nullptr) break;
    void *interface = __builtin_va_arg(args, void *);
    pairs.emplace_back(*guid, interface);
  }
  return pairs;
}
}  // namespace

EFI_STATUS EFIAPI InstallMultipleProtocolInterfaces(EFI_HANDLE *handle, ...) {
  if (!EnterBootService("InstallMultipleProtocolInterfaces", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  __builtin_ms_va_list args;
  __builtin_ms_va_start(args, handle);
  ProtocolDatabase::Pairs pairs = ReadPairs(args);
  __builtin_ms_va_end(args);
  if (handle == nullptr || pairs.empty()) return EFI_INVALID_PARAMETER;
  return Protocols().InstallMultiple(handle, pairs, Platform::Current().Actor());
}

EFI_STATUS EFIAPI UninstallMultipleProtocolInterfaces(EFI_HANDLE handle, ...) {
  if (!EnterBootService("UninstallMultipleProtocolInterfaces", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  __builtin_ms_va_list args;
  __builtin_ms_va_start(args, handle);
  ProtocolDatabase::Pairs pairs = ReadPairs(args);
  __builtin_ms_va_end(args);
  if (pairs.empty()) return EFI_INVALID_PARAMETER;
  return Protocols().UninstallMultiple(handle, pairs);
}

}  // namespace sim::bs
