// The rules every service of the platform enforces on its caller: the highest TPL it
// may be called at, boot services only until ExitBootServices, and a recorded fault
// for a service the platform publishes without modelling it.
#pragma once

#include <cstddef>
#include <utility>

#include "runtime/uefi/status.h"
#include "runtime/uefi/types.h"

namespace sim {

// A boot service is entered: false (and a recorded fault) once boot services have been
// exited; a caller above `ceiling` is a finding.
bool EnterBootService(const char *service, EFI_TPL ceiling);
// A runtime service or a platform protocol member: a caller above `ceiling` is a finding.
void CheckTpl(const char *service, EFI_TPL ceiling);
// Records "service X not modelled".
void RecordNotModelled(const char *service);

// A filled slot for a service the platform does not model: records the fault and
// answers EFI_UNSUPPORTED. Each slot gets the service's own signature, so a caller
// that uses the specification's prototype calls exactly this function's type.
template <const char *Name, typename... Args>
EFI_STATUS EFIAPI NotModelled(Args...) {
  RecordNotModelled(Name);
  return EFI_UNSUPPORTED;
}

template <const char *Name, typename... Args>
VOID *NotModelledSlot() {
  return reinterpret_cast<VOID *>(&NotModelled<Name, Args...>);
}

// For a slot whose prototype the declarations leave untyped: the stub records
// "service <Names[Slot]> not modelled" and answers EFI_UNSUPPORTED. With no prototype to
// match, it carries no function-type signature for the sanitizer to compare.
template <const char *const *Names, size_t Slot>
__attribute__((no_sanitize("function"))) EFI_STATUS EFIAPI UntypedNotModelled() {
  RecordNotModelled(Names[Slot]);
  return EFI_UNSUPPORTED;
}

// Fills every empty slot of a table of pointers with its not-modelled stub.
template <const char *const *Names, size_t... Slots>
void FillEmptySlots(VOID **slots, std::index_sequence<Slots...>) {
  ((slots[Slots] =
        slots[Slots] != nullptr ? slots[Slots] : reinterpret_cast<VOID *>(&UntypedNotModelled<Names, Slots>)),
   ...);
}

}  // namespace sim
