#include "platform_sim/firmware/protocol_database.h"

#include <algorithm>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/memory/arena.h"
#include "runtime/uefi/status.h"

namespace sim {

EFI_HANDLE ProtocolDatabase::NewHandle() {
  EFI_HANDLE handle = arena_.AllocateFirmware(16);
  handles_.push_back(HandleRecord{handle, {}});
  return handle;
}

HandleRecord *ProtocolDatabase::FindHandle(EFI_HANDLE handle) {
  for (HandleRecord &record : handles_) {
    if (record.handle == handle) return &record;
  }
  return nullptr;
}

const HandleRecord *ProtocolDatabase::FindHandle(EFI_HANDLE handle) const {
  return const_cast<ProtocolDatabase *>(this)->FindHandle(handle);
}

void ProtocolDatabase::Announce(const EFI_GUID &guid, void *interface) {
  std::vector<EFI_EVENT> toSignal;
  for (Registration &registration : registrations_) {
    if (SameGuid(registration.guid, guid)) {
      registration.fresh.push_back(interface);
      toSignal.push_back(registration.event);
    }
  }
  for (EFI_EVENT event : toSignal) signal_(event);
}

EFI_STATUS ProtocolDatabase::Install(EFI_HANDLE *handle, const EFI_GUID &guid, void *interface,
                                     const std::string &installer) {
  if (handle == nullptr) return EFI_INVALID_PARAMETER;
  HandleRecord *record = nullptr;
  if (*handle == nullptr) {
    *handle = NewHandle();
    record = &handles_.back();
  } else {
    record = FindHandle(*handle);
    if (record == nullptr) return EFI_INVALID_PARAMETER;
    for (const ProtocolEntry &entry : record->protocols) {
      if (SameGuid(entry.guid, guid)) return EFI_INVALID_PARAMETER;
    }
  }
  record->protocols.push_back(ProtocolEntry{guid, interface, installer});
  if (observer_) observer_(guid);
  Announce(guid, interface);
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::Uninstall(EFI_HANDLE handle, const EFI_GUID &guid, void *interface) {
  HandleRecord *record = FindHandle(handle);
  if (record == nullptr) return EFI_NOT_FOUND;
  auto it = std::find_if(record->protocols.begin(), record->protocols.end(), [&](const ProtocolEntry &entry) {
    return SameGuid(entry.guid, guid) && entry.interface == interface;
  });
  if (it == record->protocols.end()) return EFI_NOT_FOUND;
  record->protocols.erase(it);
  for (Registration &registration : registrations_) {
    registration.fresh.erase(std::remove(registration.fresh.begin(), registration.fresh.end(), interface),
                             registration.fresh.end());
  }
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::Reinstall(EFI_HANDLE handle, const EFI_GUID &guid, void *oldInterface,
                                       void *newInterface) {
  HandleRecord *record = FindHandle(handle);
  if (record == nullptr) return EFI_NOT_FOUND;
  for (ProtocolEntry &entry : record->protocols) {
    if (SameGuid(entry.guid, guid) && entry.interface == oldInterface) {
      entry.interface = newInterface;
      Announce(guid, newInterface);
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

EFI_STATUS ProtocolDatabase::Handle(EFI_HANDLE handle, const EFI_GUID &guid, void **interface) const {
  if (interface == nullptr) return EFI_INVALID_PARAMETER;
  *interface = nullptr;
  const HandleRecord *record = FindHandle(handle);
  if (record == nullptr) return EFI_UNSUPPORTED;
  for (const ProtocolEntry &entry : record->protocols) {
    if (SameGuid(entry.guid, guid)) {
      *interface = entry.interface;
      return EFI_SUCCESS;
    }
  }
  return EFI_UNSUPPORTED;
}

EFI_STATUS ProtocolDatabase::Locate(const EFI_GUID &guid, void *registration, void **interface) {
  if (interface == nullptr) return EFI_INVALID_PARAMETER;
  *interface = nullptr;
  if (registration != nullptr) {
    for (Registration &entry : registrations_) {
      if (entry.key != registration) continue;
      if (entry.fresh.empty()) return EFI_NOT_FOUND;
      *interface = entry.fresh.front();
      entry.fresh.pop_front();
      return EFI_SUCCESS;
    }
    return EFI_NOT_FOUND;
  }
  for (const HandleRecord &record : handles_) {
    for (const ProtocolEntry &entry : record.protocols) {
      if (SameGuid(entry.guid, guid)) {
        *interface = entry.interface;
        return EFI_SUCCESS;
      }
    }
  }
  return EFI_NOT_FOUND;
}

EFI_STATUS ProtocolDatabase::RegisterNotify(const EFI_GUID &guid, EFI_EVENT event, void **registration) {
  if (event == nullptr || registration == nullptr) return EFI_INVALID_PARAMETER;
  void *key = arena_.AllocateFirmware(16);
  registrations_.push_back(Registration{key, guid, event, {}});
  *registration = key;
  return EFI_SUCCESS;
}

std::vector<EFI_HANDLE> ProtocolDatabase::HandlesWith(const EFI_GUID &guid) const {
  std::vector<EFI_HANDLE> result;
  for (const HandleRecord &record : handles_) {
    for (const ProtocolEntry &entry : record.protocols) {
      if (SameGuid(entry.guid, guid)) {
        result.push_back(record.handle);
        break;
      }
    }
  }
  return result;
}

std::optional<EFI_GUID> ProtocolDatabase::NotifyProtocolOf(EFI_EVENT event) const {
  for (const Registration &registration : registrations_) {
    if (registration.event == event) return registration.guid;
  }
  return std::nullopt;
}

void ProtocolDatabase::ForgetEvent(EFI_EVENT event) {
  registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(),
                                      [&](const Registration &r) { return r.event == event; }),
                       registrations_.end());
}

}  // namespace sim
