// The chipset's Sx dispatcher: EFI_SMM_SX_DISPATCH2_PROTOCOL in the SMM protocol
// database, and a root SMI handler that, when the operating system's write of SLP_EN
// raised the SMI, runs the handlers registered for that sleep state (each with its own
// context) and then lets the power management controller complete the transition.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <utility>
#include <vector>

#include "runtime/uefi/smm_sx_dispatch.h"

namespace sim {

class Arena;
class Platform;
class SmmCore;

// A type and phase that Register refuses with EFI_UNSUPPORTED on this platform.
struct SxCombination {
  EFI_SLEEP_TYPE type;
  EFI_SLEEP_PHASE phase;
};

class SxDispatcher {
 public:
  struct Registration {
    EFI_HANDLE dispatch;
    EFI_SMM_HANDLER_ENTRY_POINT2 function;
    EFI_SMM_SX_REGISTER_CONTEXT *context;  // the dispatcher's own copy
    std::string owner;
  };

  SxDispatcher(Platform &platform, Arena &arena, std::vector<SxCombination> unsupported)
      : platform_(platform), arena_(arena), unsupported_(std::move(unsupported)) {}

  // Installs the protocol and the root SMI handler.
  void Install(SmmCore &smm);

  EFI_STATUS Register(EFI_SMM_HANDLER_ENTRY_POINT2 function, const EFI_SMM_SX_REGISTER_CONTEXT *context,
                      EFI_HANDLE *dispatch);
  EFI_STATUS Unregister(EFI_HANDLE dispatch);
  // Runs every handler registered for the type and phase, in registration order; the
  // statuses they returned.
  std::vector<EFI_STATUS> Dispatch(EFI_SLEEP_TYPE type, EFI_SLEEP_PHASE phase);
  // The root handler's work: true when a sleep request was pending.
  bool OnSmi();

  const std::vector<Registration> &Registrations() const { return registrations_; }
  // Each registration: sleep type, phase and the image that made it.
  nlohmann::ordered_json Describe() const;

 private:
  Platform &platform_;
  Arena &arena_;
  std::vector<SxCombination> unsupported_;
  std::vector<Registration> registrations_;
};

}  // namespace sim
