// AddressFixupProtocol: a registry of the addresses of the images' pointer variables,
// converted (through the same conversion as ConvertPointer) when the firmware switches
// to virtual addressing.
//
// The interface has four EFIAPI slots, none of which takes an interface pointer:
//   0 GetRegistrationCount(UINTN *Count)
//   1 IsRegistered(VOID **PointerVariable, BOOLEAN *Registered)
//   2 Register(VOID **PointerVariable)   - the drivers' "third operation"
//   3 Remove(VOID **PointerVariable)     - the drivers' "fourth operation"
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/uefi/address_fixup_protocol.h"

namespace sim {

class Arena;

struct AddressFixupInterface {
  EFI_STATUS(EFIAPI *GetRegistrationCount)(UINTN *Count);
  EFI_STATUS(EFIAPI *IsRegistered)(VOID **PointerVariable, BOOLEAN *Registered);
  ADDRESS_FIXUP_REGISTER Register;
  ADDRESS_FIXUP_REMOVE Remove;
};
static_assert(sizeof(AddressFixupInterface) == sizeof(ADDRESS_FIXUP_PROTOCOL));
static_assert(offsetof(AddressFixupInterface, Register) == offsetof(ADDRESS_FIXUP_PROTOCOL, Register));
static_assert(offsetof(AddressFixupInterface, Remove) == offsetof(ADDRESS_FIXUP_PROTOCOL, Remove));

struct PointerRegistration {
  uint64_t variable = 0;  // address of the pointer variable
  std::string owner;      // who registered it
};

struct AddressFixupCall {
  std::string operation;  // "register", "remove"
  uint64_t variable = 0;
  EFI_STATUS status = 0;
  std::string caller;
};

class AddressFixupRegistry {
 public:
  // Tells whether an address is memory the platform can read a pointer from.
  using Readable = std::function<bool(uint64_t address)>;
  explicit AddressFixupRegistry(Readable readable) : readable_(std::move(readable)) {}

  // EFI_INVALID_PARAMETER for a null or unreadable address, EFI_ALREADY_STARTED for a
  // second registration of the same variable.
  EFI_STATUS Register(uint64_t variable, const std::string &caller);
  // EFI_NOT_FOUND when the variable is not registered.
  EFI_STATUS Remove(uint64_t variable, const std::string &caller);
  bool IsRegistered(uint64_t variable) const;

  const std::vector<PointerRegistration> &Registrations() const { return registrations_; }
  // Every call, refused ones included.
  const std::vector<AddressFixupCall> &Calls() const { return calls_; }

 private:
  Readable readable_;
  std::vector<PointerRegistration> registrations_;
  std::vector<AddressFixupCall> calls_;
};

AddressFixupInterface *BuildAddressFixupProtocol(Arena &arena);

}  // namespace sim
