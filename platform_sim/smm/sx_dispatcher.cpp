#include "platform_sim/smm/sx_dispatcher.h"

#include <algorithm>
#include <cstdio>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/platform.h"
#include "platform_sim/smm/smm_core.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

SxDispatcher &Dispatcher() { return Platform::Current().Core().SxDispatch(); }

EFI_STATUS EFIAPI Register(CONST EFI_SMM_SX_DISPATCH2_PROTOCOL *self, EFI_SMM_HANDLER_ENTRY_POINT2 function,
                           CONST EFI_SMM_SX_REGISTER_CONTEXT *context, EFI_HANDLE *dispatch) {
  if (self == nullptr) return EFI_INVALID_PARAMETER;
  return Dispatcher().Register(function, context, dispatch);
}

EFI_STATUS EFIAPI Unregister(CONST EFI_SMM_SX_DISPATCH2_PROTOCOL *self, EFI_HANDLE dispatch) {
  if (self == nullptr) return EFI_INVALID_PARAMETER;
  return Dispatcher().Unregister(dispatch);
}

EFI_STATUS EFIAPI RootHandler(EFI_HANDLE, CONST VOID *, VOID *, UINTN *) {
  return Dispatcher().OnSmi() ? EFI_SUCCESS : EFI_NOT_FOUND;
}

}  // namespace

void SxDispatcher::Install(SmmCore &smm) {
  auto *protocol = arena_.NewSmmFirmware<EFI_SMM_SX_DISPATCH2_PROTOCOL>();
  protocol->Register = sim::Register;
  protocol->UnRegister = sim::Unregister;
  EFI_HANDLE handle = nullptr;
  smm.Install(&handle, gEfiSmmSxDispatch2ProtocolGuid, protocol, "platform");
  EFI_HANDLE root = nullptr;
  smm.RegisterHandler(RootHandler, nullptr, &root);
}

EFI_STATUS SxDispatcher::Register(EFI_SMM_HANDLER_ENTRY_POINT2 function, const EFI_SMM_SX_REGISTER_CONTEXT *context,
                                  EFI_HANDLE *dispatch) {
  if (function == nullptr || context == nullptr || dispatch == nullptr) return EFI_INVALID_PARAMETER;
  if (context->Type >= EfiMaximumSleepType || context->Phase >= EfiMaximumPhase) return EFI_INVALID_PARAMETER;
  for (const SxCombination &refused : unsupported_) {
    if (refused.type == context->Type && refused.phase == context->Phase) return EFI_UNSUPPORTED;
  }
  // The dispatcher's own copy, in SMRAM: the handler reads the context it is given.
  auto *copy = arena_.NewSmmFirmware<EFI_SMM_SX_REGISTER_CONTEXT>();
  *copy = *context;
  *dispatch = arena_.AllocateFirmware(16, EfiRuntimeServicesData, Region::Smram);
  std::string owner = platform_.Images().OwnerOf(reinterpret_cast<const void *>(function));
  registrations_.push_back(Registration{*dispatch, function, copy, owner.empty() ? platform_.Actor() : owner});
  return EFI_SUCCESS;
}

EFI_STATUS SxDispatcher::Unregister(EFI_HANDLE dispatch) {
  auto it = std::find_if(registrations_.begin(), registrations_.end(),
                         [&](const Registration &registration) { return registration.dispatch == dispatch; });
  if (it == registrations_.end()) return EFI_INVALID_PARAMETER;
  registrations_.erase(it);
  return EFI_SUCCESS;
}

std::vector<EFI_STATUS> SxDispatcher::Dispatch(EFI_SLEEP_TYPE type, EFI_SLEEP_PHASE phase) {
  std::vector<Registration> matching;
  for (const Registration &registration : registrations_) {
    if (registration.context->Type == type && registration.context->Phase == phase) matching.push_back(registration);
  }
  std::vector<EFI_STATUS> statuses;
  for (const Registration &registration : matching) {
    ActorScope actor(platform_, registration.owner);
    EFI_STATUS status =
        platform_.Call(registration.function, registration.dispatch, static_cast<CONST VOID *>(registration.context),
                       static_cast<VOID *>(nullptr), static_cast<UINTN *>(nullptr));
    char text[64];
    std::snprintf(text, sizeof(text), "S%d entry handler -> ", static_cast<int>(type));
    platform_.Record(EffectKind::Note, text + StatusText(status), status);
    statuses.push_back(status);
  }
  return statuses;
}

bool SxDispatcher::OnSmi() {
  PowerManagementController &pmc = platform_.Pmc();
  if (!pmc.SleepSmiPending()) return false;
  std::optional<int> state = pmc.RequestedSleepState();
  if (state) Dispatch(static_cast<EFI_SLEEP_TYPE>(*state), SxEntry);
  // The handlers have run: the transition the operating system asked for goes ahead.
  pmc.CompleteSleep();
  return true;
}

}  // namespace sim
