// Handles and the protocol interfaces installed on them, with protocol-notify
// registrations that signal their event for every new installation.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/uefi/types.h"

namespace sim {

class Arena;

struct ProtocolEntry {
  EFI_GUID guid;
  void *interface;
  std::string installer;
};

struct HandleRecord {
  EFI_HANDLE handle;
  std::vector<ProtocolEntry> protocols;
};

class ProtocolDatabase {
 public:
  using Signaller = std::function<void(EFI_EVENT)>;

  using InstallObserver = std::function<void(const EFI_GUID &)>;

  // The observer hears of each installation before the notifications it triggers run.
  ProtocolDatabase(Arena &arena, Signaller signal, InstallObserver observer)
      : arena_(arena), signal_(std::move(signal)), observer_(std::move(observer)) {}

  EFI_HANDLE NewHandle();
  EFI_STATUS Install(EFI_HANDLE *handle, const EFI_GUID &guid, void *interface, const std::string &installer);
  EFI_STATUS Uninstall(EFI_HANDLE handle, const EFI_GUID &guid, void *interface);
  EFI_STATUS Reinstall(EFI_HANDLE handle, const EFI_GUID &guid, void *oldInterface, void *newInterface);
  EFI_STATUS Handle(EFI_HANDLE handle, const EFI_GUID &guid, void **interface) const;
  EFI_STATUS Locate(const EFI_GUID &guid, void *registration, void **interface);
  EFI_STATUS RegisterNotify(const EFI_GUID &guid, EFI_EVENT event, void **registration);
  std::vector<EFI_HANDLE> HandlesWith(const EFI_GUID &guid) const;
  // The protocol an event was registered for, if any.
  std::optional<EFI_GUID> NotifyProtocolOf(EFI_EVENT event) const;
  // Drops registrations that signal an event that no longer exists.
  void ForgetEvent(EFI_EVENT event);

  const std::vector<HandleRecord> &Handles() const { return handles_; }

 private:
  struct Registration {
    void *key;
    EFI_GUID guid;
    EFI_EVENT event;
    std::deque<void *> fresh;  // interfaces installed since the last located one
  };
  HandleRecord *FindHandle(EFI_HANDLE handle);
  const HandleRecord *FindHandle(EFI_HANDLE handle) const;
  void Announce(const EFI_GUID &guid, void *interface);

  Arena &arena_;
  Signaller signal_;
  InstallObserver observer_;
  std::vector<HandleRecord> handles_;
  std::vector<Registration> registrations_;
};

}  // namespace sim
