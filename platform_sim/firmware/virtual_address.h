// The change to virtual addressing: SetVirtualAddressMap signals the virtual-address-
// change event group, during which ConvertPointer may be called.
//
// Conversion is the identity: the host keeps every address where it is, so the images
// keep running after the switch. What is checked is what was asked: every call is
// recorded with the variable's address and the value it held.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/uefi/runtime_services.h"

namespace sim {

struct PointerConversion {
  uint64_t variable = 0;  // address of the pointer variable (the Address argument)
  uint64_t value = 0;     // the pointer it held, before and after (identity)
  UINTN disposition = 0;
  EFI_STATUS status = 0;
  std::string caller;
};

class VirtualAddressSwitch {
 public:
  enum class Phase { Physical, Switching, Virtual };

  Phase State() const { return phase_; }
  void Begin() { phase_ = Phase::Switching; }
  void Finish() { phase_ = Phase::Virtual; }

  // Where a converted pointer may point: memory that stays mapped for the runtime.
  void SetRuntimeCheck(std::function<bool(uint64_t)> isRuntime) { isRuntime_ = std::move(isRuntime); }

  // ConvertPointer: EFI_INVALID_PARAMETER for a null Address, or a null pointer not
  // marked optional; EFI_NOT_FOUND for a pointer outside runtime memory (boot-services
  // data, a host stack: not part of the runtime memory map); EFI_UNSUPPORTED outside
  // the switch.
  EFI_STATUS Convert(UINTN disposition, void **address, const std::string &caller);
  const std::vector<PointerConversion> &Conversions() const { return conversions_; }

 private:
  Phase phase_ = Phase::Physical;
  std::function<bool(uint64_t)> isRuntime_;
  std::vector<PointerConversion> conversions_;
};

}  // namespace sim
