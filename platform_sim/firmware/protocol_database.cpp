#include "platform_sim/firmware/protocol_database.h"

#include <algorithm>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/memory/arena.h"
#include "runtime/uefi/boot_services.h"
#include "runtime/uefi/status.h"

namespace sim {

EFI_HANDLE ProtocolDatabase::NewHandle() {
  EFI_HANDLE handle = arena_.AllocateFirmware(16);
  handles_.push_back(HandleRecord{handle, {}});
  return handle;
}

HandleRecord *ProtocolDatabase::FindHandle(EFI_HANDLE handle) {
  if (handle == nullptr) return nullptr;
  for (HandleRecord &record : handles_) {
    if (record.handle == handle) return &record;
  }
  return nullptr;
}

const HandleRecord *ProtocolDatabase::FindHandle(EFI_HANDLE handle) const {
  return const_cast<ProtocolDatabase *>(this)->FindHandle(handle);
}

ProtocolDatabase::Registration *ProtocolDatabase::FindRegistration(void *key) {
  for (Registration &registration : registrations_) {
    if (registration.key == key) return &registration;
  }
  return nullptr;
}

const ProtocolEntry *ProtocolDatabase::After(const EFI_GUID &guid, uint64_t position, EFI_HANDLE *handle) const {
  const ProtocolEntry *next = nullptr;
  for (const HandleRecord &record : handles_) {
    for (const ProtocolEntry &entry : record.protocols) {
      if (!SameGuid(entry.guid, guid) || entry.serial <= position) continue;
      if (next == nullptr || entry.serial < next->serial) {
        next = &entry;
        if (handle != nullptr) *handle = record.handle;
      }
    }
  }
  return next;
}

// Signals every registration of the protocol; under the lock the notifications wait.
void ProtocolDatabase::Announce(const EFI_GUID &guid) {
  std::vector<EFI_EVENT> toSignal;
  for (const Registration &registration : registrations_) {
    if (SameGuid(registration.guid, guid)) toSignal.push_back(registration.event);
  }
  for (EFI_EVENT event : toSignal) signal_(event);
}

EFI_STATUS ProtocolDatabase::InstallUnlocked(EFI_HANDLE *handle, const EFI_GUID &guid, void *interface,
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
  record->protocols.push_back(ProtocolEntry{guid, interface, installer, ++serial_, {}});
  if (observer_) observer_(guid);
  Announce(guid);
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::Install(EFI_HANDLE *handle, const EFI_GUID &guid, void *interface,
                                     const std::string &installer) {
  return Locked([&] { return InstallUnlocked(handle, guid, interface, installer); });
}

EFI_STATUS ProtocolDatabase::UninstallUnlocked(EFI_HANDLE handle, const EFI_GUID &guid, void *interface) {
  HandleRecord *record = FindHandle(handle);
  if (record == nullptr) return EFI_INVALID_PARAMETER;
  auto it = std::find_if(record->protocols.begin(), record->protocols.end(), [&](const ProtocolEntry &entry) {
    return SameGuid(entry.guid, guid) && entry.interface == interface;
  });
  if (it == record->protocols.end()) return EFI_NOT_FOUND;
  // No driver model here to stop a driver that holds the protocol.
  for (const OpenRecord &open : it->opens) {
    if ((open.attributes & (EFI_OPEN_PROTOCOL_BY_DRIVER | EFI_OPEN_PROTOCOL_EXCLUSIVE)) != 0) {
      return EFI_ACCESS_DENIED;
    }
  }
  record->protocols.erase(it);
  // A handle without protocols ceases to exist, as in common firmware.
  if (record->protocols.empty()) {
    handles_.erase(handles_.begin() + (record - handles_.data()));
  }
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::Uninstall(EFI_HANDLE handle, const EFI_GUID &guid, void *interface) {
  return Locked([&] { return UninstallUnlocked(handle, guid, interface); });
}

EFI_STATUS ProtocolDatabase::Reinstall(EFI_HANDLE handle, const EFI_GUID &guid, void *oldInterface,
                                       void *newInterface) {
  return Locked([&]() -> EFI_STATUS {
    HandleRecord *record = FindHandle(handle);
    if (record == nullptr) return EFI_INVALID_PARAMETER;
    for (ProtocolEntry &entry : record->protocols) {
      if (SameGuid(entry.guid, guid) && entry.interface == oldInterface) {
        entry.interface = newInterface;
        entry.serial = ++serial_;  // to the tail of the protocol's list: registrations see it again
        Announce(guid);
        return EFI_SUCCESS;
      }
    }
    return EFI_NOT_FOUND;
  });
}

EFI_STATUS ProtocolDatabase::InstallMultiple(EFI_HANDLE *handle, const Pairs &pairs, const std::string &installer) {
  if (handle == nullptr) return EFI_INVALID_PARAMETER;
  return Locked([&] {
    EFI_HANDLE original = *handle;
    size_t done = 0;
    EFI_STATUS status = EFI_SUCCESS;
    for (; done < pairs.size(); ++done) {
      status = InstallUnlocked(handle, pairs[done].first, pairs[done].second, installer);
      if (EFI_ERROR(status)) break;
    }
    if (!EFI_ERROR(status)) return EFI_SUCCESS;
    while (done > 0) {
      --done;
      UninstallUnlocked(*handle, pairs[done].first, pairs[done].second);
    }
    *handle = original;
    return status;
  });
}

EFI_STATUS ProtocolDatabase::UninstallMultiple(EFI_HANDLE handle, const Pairs &pairs) {
  return Locked([&] {
    size_t done = 0;
    EFI_STATUS status = EFI_SUCCESS;
    for (; done < pairs.size(); ++done) {
      status = UninstallUnlocked(handle, pairs[done].first, pairs[done].second);
      if (EFI_ERROR(status)) break;
    }
    if (!EFI_ERROR(status)) return EFI_SUCCESS;
    // Put back what was removed; the handle may have gone with its last protocol.
    EFI_HANDLE target = IsHandle(handle) ? handle : nullptr;
    while (done > 0) {
      --done;
      InstallUnlocked(&target, pairs[done].first, pairs[done].second, "");
    }
    return EFI_INVALID_PARAMETER;
  });
}

EFI_STATUS ProtocolDatabase::Handle(EFI_HANDLE handle, const EFI_GUID &guid, void **interface) const {
  if (interface == nullptr) return EFI_INVALID_PARAMETER;
  *interface = nullptr;
  const HandleRecord *record = FindHandle(handle);
  if (record == nullptr) return EFI_INVALID_PARAMETER;
  for (const ProtocolEntry &entry : record->protocols) {
    if (SameGuid(entry.guid, guid)) {
      *interface = entry.interface;
      return EFI_SUCCESS;
    }
  }
  return EFI_UNSUPPORTED;
}

const ProtocolEntry *ProtocolDatabase::Entry(EFI_HANDLE handle, const EFI_GUID &guid) const {
  const HandleRecord *record = FindHandle(handle);
  if (record == nullptr) return nullptr;
  for (const ProtocolEntry &entry : record->protocols) {
    if (SameGuid(entry.guid, guid)) return &entry;
  }
  return nullptr;
}

EFI_STATUS ProtocolDatabase::Locate(const EFI_GUID &guid, void *registration, void **interface) {
  if (interface == nullptr) return EFI_INVALID_PARAMETER;
  *interface = nullptr;
  if (registration != nullptr) {
    Registration *entry = FindRegistration(registration);
    if (entry == nullptr) return EFI_NOT_FOUND;
    const ProtocolEntry *next = After(entry->guid, entry->position, nullptr);
    if (next == nullptr) return EFI_NOT_FOUND;
    entry->position = next->serial;
    *interface = next->interface;
    return EFI_SUCCESS;
  }
  const ProtocolEntry *first = After(guid, 0, nullptr);
  if (first == nullptr) return EFI_NOT_FOUND;
  *interface = first->interface;
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::RegisterNotify(const EFI_GUID &guid, EFI_EVENT event, void **registration) {
  if (event == nullptr || registration == nullptr) return EFI_INVALID_PARAMETER;
  void *key = arena_.AllocateFirmware(16);
  registrations_.push_back(Registration{key, guid, event, 0});
  *registration = key;
  return EFI_SUCCESS;
}

std::vector<EFI_HANDLE> ProtocolDatabase::AllHandles() const {
  std::vector<EFI_HANDLE> result;
  for (const HandleRecord &record : handles_) result.push_back(record.handle);
  return result;
}

std::vector<EFI_HANDLE> ProtocolDatabase::HandlesWith(const EFI_GUID &guid) const {
  std::vector<EFI_HANDLE> result;
  uint64_t position = 0;
  EFI_HANDLE handle = nullptr;
  while (const ProtocolEntry *entry = After(guid, position, &handle)) {
    result.push_back(handle);
    position = entry->serial;
  }
  return result;
}

EFI_STATUS ProtocolDatabase::NextRegistered(void *registration, bool advance, EFI_HANDLE *handle) {
  Registration *entry = FindRegistration(registration);
  if (entry == nullptr) return EFI_INVALID_PARAMETER;
  const ProtocolEntry *next = After(entry->guid, entry->position, handle);
  if (next == nullptr) return EFI_NOT_FOUND;
  if (advance) entry->position = next->serial;
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::Open(EFI_HANDLE handle, const EFI_GUID &guid, void **interface, EFI_HANDLE agent,
                                  EFI_HANDLE controller, uint32_t attributes) {
  if (interface == nullptr && attributes != EFI_OPEN_PROTOCOL_TEST_PROTOCOL) return EFI_INVALID_PARAMETER;
  HandleRecord *record = FindHandle(handle);
  if (record == nullptr) return EFI_INVALID_PARAMETER;
  switch (attributes) {
    case EFI_OPEN_PROTOCOL_BY_HANDLE_PROTOCOL:
    case EFI_OPEN_PROTOCOL_GET_PROTOCOL:
    case EFI_OPEN_PROTOCOL_TEST_PROTOCOL: break;
    case EFI_OPEN_PROTOCOL_BY_CHILD_CONTROLLER:
      if (!IsHandle(agent) || !IsHandle(controller) || handle == controller) return EFI_INVALID_PARAMETER;
      break;
    case EFI_OPEN_PROTOCOL_BY_DRIVER:
    case EFI_OPEN_PROTOCOL_BY_DRIVER | EFI_OPEN_PROTOCOL_EXCLUSIVE:
      if (!IsHandle(agent) || !IsHandle(controller)) return EFI_INVALID_PARAMETER;
      break;
    case EFI_OPEN_PROTOCOL_EXCLUSIVE:
      if (!IsHandle(agent)) return EFI_INVALID_PARAMETER;
      break;
    default: return EFI_INVALID_PARAMETER;
  }
  ProtocolEntry *entry = nullptr;
  for (ProtocolEntry &candidate : record->protocols) {
    if (SameGuid(candidate.guid, guid)) entry = &candidate;
  }
  if (entry == nullptr) {
    if (interface != nullptr && attributes != EFI_OPEN_PROTOCOL_TEST_PROTOCOL) *interface = nullptr;
    return EFI_UNSUPPORTED;
  }
  if (attributes == EFI_OPEN_PROTOCOL_TEST_PROTOCOL) return EFI_SUCCESS;
  *interface = entry->interface;
  // Exclusive and by-driver opens conflict; with no driver model to stop the holder,
  // a conflicting request is refused.
  bool wantsDriver = (attributes & EFI_OPEN_PROTOCOL_BY_DRIVER) != 0;
  bool wantsExclusive = (attributes & EFI_OPEN_PROTOCOL_EXCLUSIVE) != 0;
  for (const OpenRecord &open : entry->opens) {
    bool heldExclusive = (open.attributes & EFI_OPEN_PROTOCOL_EXCLUSIVE) != 0;
    bool heldDriver = (open.attributes & EFI_OPEN_PROTOCOL_BY_DRIVER) != 0;
    if (heldDriver && wantsDriver && open.agent == agent) {
      return open.attributes == attributes ? EFI_ALREADY_STARTED : EFI_ACCESS_DENIED;
    }
    if (heldExclusive && (wantsDriver || wantsExclusive)) return EFI_ACCESS_DENIED;
    if (heldDriver && (wantsDriver || wantsExclusive)) return EFI_ACCESS_DENIED;
  }
  for (OpenRecord &open : entry->opens) {
    if (open.agent == agent && open.controller == controller && open.attributes == attributes) {
      ++open.count;
      return EFI_SUCCESS;
    }
  }
  entry->opens.push_back(OpenRecord{agent, controller, attributes, 1});
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::Close(EFI_HANDLE handle, const EFI_GUID &guid, EFI_HANDLE agent, EFI_HANDLE controller) {
  HandleRecord *record = FindHandle(handle);
  if (record == nullptr || !IsHandle(agent) || (controller != nullptr && !IsHandle(controller))) {
    return EFI_INVALID_PARAMETER;
  }
  for (ProtocolEntry &entry : record->protocols) {
    if (!SameGuid(entry.guid, guid)) continue;
    size_t before = entry.opens.size();
    entry.opens.erase(
        std::remove_if(entry.opens.begin(), entry.opens.end(),
                       [&](const OpenRecord &open) { return open.agent == agent && open.controller == controller; }),
        entry.opens.end());
    return entry.opens.size() == before ? EFI_NOT_FOUND : EFI_SUCCESS;
  }
  return EFI_NOT_FOUND;
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
