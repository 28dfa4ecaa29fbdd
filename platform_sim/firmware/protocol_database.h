// Handles and the protocol interfaces installed on them, with protocol-notify
// registrations, handle searches and open-protocol records.
//
// As in common firmware, each protocol keeps its instances in one list in installation
// order (a reinstalled instance moves to its tail), and a notify registration is a
// cursor into that list that starts at its head: "register, signal once, locate" also
// finds the instances installed before the registration. Installations run under the
// protocol lock at TPL_NOTIFY, so the events they signal run when the lock is released,
// highest TPL first, before the installation returns.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/uefi/status.h"
#include "runtime/uefi/types.h"

namespace sim {

class Arena;

struct OpenRecord {
  EFI_HANDLE agent = nullptr;
  EFI_HANDLE controller = nullptr;
  uint32_t attributes = 0;
  uint32_t count = 0;
};

struct ProtocolEntry {
  EFI_GUID guid;
  void *interface;
  std::string installer;
  uint64_t serial = 0;  // position in the protocol's list (installation order)
  std::vector<OpenRecord> opens;
};

struct HandleRecord {
  EFI_HANDLE handle;
  std::vector<ProtocolEntry> protocols;
};

class ProtocolDatabase {
 public:
  using Signaller = std::function<void(EFI_EVENT)>;
  using InstallObserver = std::function<void(const EFI_GUID &)>;
  // The protocol lock: acquire raises the TPL and returns the old one; release
  // restores it (and runs what became due).
  struct Lock {
    std::function<EFI_TPL()> acquire;
    std::function<void(EFI_TPL)> release;
  };
  using Pairs = std::vector<std::pair<EFI_GUID, void *>>;

  // The observer hears of each installation before the notifications it triggers run.
  ProtocolDatabase(Arena &arena, Signaller signal, InstallObserver observer)
      : arena_(arena), signal_(std::move(signal)), observer_(std::move(observer)) {}
  void UseLock(Lock lock) { lock_ = std::move(lock); }

  EFI_HANDLE NewHandle();
  bool IsHandle(EFI_HANDLE handle) const { return FindHandle(handle) != nullptr; }
  EFI_STATUS Install(EFI_HANDLE *handle, const EFI_GUID &guid, void *interface, const std::string &installer);
  EFI_STATUS Uninstall(EFI_HANDLE handle, const EFI_GUID &guid, void *interface);
  EFI_STATUS Reinstall(EFI_HANDLE handle, const EFI_GUID &guid, void *oldInterface, void *newInterface);
  // All pairs or none; the notifications of all of them run after the last one.
  EFI_STATUS InstallMultiple(EFI_HANDLE *handle, const Pairs &pairs, const std::string &installer);
  EFI_STATUS UninstallMultiple(EFI_HANDLE handle, const Pairs &pairs);
  EFI_STATUS Handle(EFI_HANDLE handle, const EFI_GUID &guid, void **interface) const;
  EFI_STATUS Locate(const EFI_GUID &guid, void *registration, void **interface);
  EFI_STATUS RegisterNotify(const EFI_GUID &guid, EFI_EVENT event, void **registration);

  // Handle searches: every handle; the handles with a protocol (in the protocol's list
  // order); the next handle a registration has not yet seen (advancing its cursor only
  // when `advance`). An unknown registration key is EFI_INVALID_PARAMETER.
  std::vector<EFI_HANDLE> AllHandles() const;
  std::vector<EFI_HANDLE> HandlesWith(const EFI_GUID &guid) const;
  EFI_STATUS NextRegistered(void *registration, bool advance, EFI_HANDLE *handle);

  EFI_STATUS Open(EFI_HANDLE handle, const EFI_GUID &guid, void **interface, EFI_HANDLE agent, EFI_HANDLE controller,
                  uint32_t attributes);
  EFI_STATUS Close(EFI_HANDLE handle, const EFI_GUID &guid, EFI_HANDLE agent, EFI_HANDLE controller);
  const ProtocolEntry *Entry(EFI_HANDLE handle, const EFI_GUID &guid) const;

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
    uint64_t position = 0;  // serial of the last instance handed out; 0 = list head
  };
  // Runs `body` under the protocol lock. Releasing the lock runs notifications, which
  // may unwind (a reset), so it happens outside any destructor.
  template <typename Body>
  EFI_STATUS Locked(Body body) {
    EFI_TPL old = lock_.acquire ? lock_.acquire() : 0;
    EFI_STATUS status = 0;
    try {
      status = body();
    } catch (...) {
      if (lock_.release) lock_.release(old);
      throw;
    }
    if (lock_.release) lock_.release(old);
    return status;
  }

  HandleRecord *FindHandle(EFI_HANDLE handle);
  const HandleRecord *FindHandle(EFI_HANDLE handle) const;
  Registration *FindRegistration(void *key);
  // The instance of a protocol that follows a list position, if any.
  const ProtocolEntry *After(const EFI_GUID &guid, uint64_t position, EFI_HANDLE *handle) const;
  void Announce(const EFI_GUID &guid);
  EFI_STATUS InstallUnlocked(EFI_HANDLE *handle, const EFI_GUID &guid, void *interface, const std::string &installer);
  EFI_STATUS UninstallUnlocked(EFI_HANDLE handle, const EFI_GUID &guid, void *interface);

  Arena &arena_;
  Signaller signal_;
  InstallObserver observer_;
  Lock lock_;
  std::vector<HandleRecord> handles_;
  std::vector<Registration> registrations_;
  uint64_t serial_ = 0;
};

}  // namespace sim
