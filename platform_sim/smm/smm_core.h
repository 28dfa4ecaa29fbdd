// The SMM side of the firmware core of one boot: whether the processor is in SMM, the
// SMM protocol database's notifications (called at once, inside the installation, with
// no TPL), the SMI handlers, and the faults SMM code commits (an unmodelled SMST member,
// a boot service called after the operating system took over).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform_sim/smm/smi_boundary.h"
#include "runtime/uefi/smm.h"

namespace sim {

class Arena;
class Platform;
class ProtocolDatabase;

class SmmCore {
 public:
  SmmCore(Platform &platform, Arena &arena, ProtocolDatabase &protocols)
      : platform_(platform), arena_(arena), protocols_(protocols), boundary_(platform) {}

  // In SMM: during the entry of an image loaded into SMRAM, and during an SMI.
  bool Active() const { return active_; }
  void SetActive(bool active) { active_ = active; }

  // The SMM protocol database with its notifications.
  EFI_STATUS Install(EFI_HANDLE *handle, const EFI_GUID &guid, void *interface, const std::string &installer);
  // A null function removes the registration *registration names.
  EFI_STATUS RegisterNotify(const EFI_GUID &guid, EFI_SMM_NOTIFY_FN function, void **registration);

  // SMI handlers: a null type registers a root handler.
  EFI_STATUS RegisterHandler(EFI_SMM_HANDLER_ENTRY_POINT2 handler, const EFI_GUID *type, EFI_HANDLE *dispatch);
  EFI_STATUS UnregisterHandler(EFI_HANDLE dispatch);
  // Runs the handlers of a type (null: the root handlers). EFI_SUCCESS when one of them
  // handled the interrupt, EFI_NOT_FOUND otherwise.
  EFI_STATUS Manage(const EFI_GUID *type, const void *context, void *commBuffer, UINTN *commBufferSize);

  // An SMI: the processor enters SMM behind the boundary, the root handlers run, the
  // processor leaves. A fault of an image in a handler ends the SMI and is kept in
  // Faults(); the machine would have stopped there.
  void RaiseSmi(const std::string &source);
  SmiBoundary &Boundary() { return boundary_; }
  uint64_t SmiCount() const { return smiCount_; }
  // Fault switch: an SMI is raised but never dispatched (the processor never enters
  // SMM, no handler runs).
  void SetSmiLost(bool lost) { smiLost_ = lost; }

  // After ExitBootServices the boot services belong to no one: SMM code that calls one
  // then is at fault (FirmwareCore::HandOverToOperatingSystem).
  bool OperatingSystemOwnsMachine() const { return osOwnsMachine_; }
  void SetOperatingSystemOwnsMachine() { osOwnsMachine_ = true; }

  void Fault(const std::string &what);
  const std::vector<std::string> &Faults() const { return faults_; }

 private:
  struct Notify {
    EFI_GUID guid;
    EFI_SMM_NOTIFY_FN function;
    void *key;
  };
  struct Handler {
    EFI_HANDLE dispatch;
    EFI_SMM_HANDLER_ENTRY_POINT2 function;
    std::optional<EFI_GUID> type;
  };

  Platform &platform_;
  Arena &arena_;
  ProtocolDatabase &protocols_;
  bool active_ = false;
  bool osOwnsMachine_ = false;
  std::vector<Notify> notifies_;
  std::vector<Handler> handlers_;
  uint64_t smiCount_ = 0;
  bool smiLost_ = false;
  std::vector<std::string> faults_;
  SmiBoundary boundary_;
};

// While alive, the processor is in SMM; the previous mode comes back on any exit.
class SmmModeScope {
 public:
  explicit SmmModeScope(SmmCore &smm, bool active = true) : smm_(smm), was_(smm.Active()) { smm_.SetActive(active); }
  ~SmmModeScope() { smm_.SetActive(was_); }
  SmmModeScope(const SmmModeScope &) = delete;
  SmmModeScope &operator=(const SmmModeScope &) = delete;

 private:
  SmmCore &smm_;
  bool was_;
};

}  // namespace sim
