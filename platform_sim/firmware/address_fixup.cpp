#include "platform_sim/firmware/address_fixup.h"

#include <algorithm>
#include <cstdio>

#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace sim {

EFI_STATUS AddressFixupRegistry::Register(uint64_t variable, const std::string &caller) {
  EFI_STATUS status = EFI_SUCCESS;
  if (variable == 0 || !readable_(variable)) {
    status = EFI_INVALID_PARAMETER;
  } else if (IsRegistered(variable)) {
    status = EFI_ALREADY_STARTED;
  } else {
    registrations_.push_back(PointerRegistration{variable, caller});
  }
  calls_.push_back(AddressFixupCall{"register", variable, status, caller});
  return status;
}

EFI_STATUS AddressFixupRegistry::Remove(uint64_t variable, const std::string &caller) {
  auto it = std::find_if(registrations_.begin(), registrations_.end(),
                         [&](const PointerRegistration &entry) { return entry.variable == variable; });
  EFI_STATUS status = it == registrations_.end() ? EFI_NOT_FOUND : EFI_SUCCESS;
  if (it != registrations_.end()) registrations_.erase(it);
  calls_.push_back(AddressFixupCall{"remove", variable, status, caller});
  return status;
}

bool AddressFixupRegistry::IsRegistered(uint64_t variable) const {
  return std::any_of(registrations_.begin(), registrations_.end(),
                     [&](const PointerRegistration &entry) { return entry.variable == variable; });
}

namespace {

AddressFixupRegistry &Registry() { return Platform::Current().Core().AddressFixups(); }

std::string Describe(const char *operation, VOID **variable, EFI_STATUS status) {
  char text[96];
  std::snprintf(text, sizeof(text), "%s pointer variable 0x%llX", operation,
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(variable)));
  return std::string(text) + (status == EFI_SUCCESS ? "" : " -> " + StatusText(status));
}

EFI_STATUS EFIAPI GetRegistrationCount(UINTN *count) {
  if (count == nullptr) return EFI_INVALID_PARAMETER;
  *count = Registry().Registrations().size();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI IsRegistered(VOID **variable, BOOLEAN *registered) {
  if (registered == nullptr) return EFI_INVALID_PARAMETER;
  *registered = Registry().IsRegistered(reinterpret_cast<uint64_t>(variable)) ? TRUE : FALSE;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI RegisterVariable(VOID **variable) {
  Platform &platform = Platform::Current();
  EFI_STATUS status = Registry().Register(reinterpret_cast<uint64_t>(variable), platform.Actor());
  platform.Record(EffectKind::AddressFixup, Describe("register", variable, status), status);
  return status;
}

EFI_STATUS EFIAPI RemoveVariable(VOID **variable) {
  Platform &platform = Platform::Current();
  EFI_STATUS status = Registry().Remove(reinterpret_cast<uint64_t>(variable), platform.Actor());
  platform.Record(EffectKind::AddressFixup, Describe("remove", variable, status), status);
  return status;
}

}  // namespace

AddressFixupInterface *BuildAddressFixupProtocol(Arena &arena) {
  auto *protocol = arena.NewFirmware<AddressFixupInterface>(EfiRuntimeServicesData);
  protocol->GetRegistrationCount = GetRegistrationCount;
  protocol->IsRegistered = IsRegistered;
  protocol->Register = RegisterVariable;
  protocol->Remove = RemoveVariable;
  return protocol;
}

}  // namespace sim
