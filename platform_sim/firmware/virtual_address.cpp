#include "platform_sim/firmware/virtual_address.h"

#include "runtime/uefi/status.h"

namespace sim {

EFI_STATUS VirtualAddressSwitch::Convert(UINTN disposition, void **address, const std::string &caller) {
  PointerConversion conversion;
  conversion.variable = reinterpret_cast<uint64_t>(address);
  conversion.disposition = disposition;
  conversion.caller = caller;
  if (address == nullptr) {
    conversion.status = EFI_INVALID_PARAMETER;
  } else {
    conversion.value = reinterpret_cast<uint64_t>(*address);
    if (phase_ != Phase::Switching) {
      conversion.status = EFI_UNSUPPORTED;
    } else if (*address == nullptr) {
      conversion.status = (disposition & EFI_OPTIONAL_PTR) == 0 ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
    } else if (isRuntime_ && !isRuntime_(conversion.value)) {
      conversion.status = EFI_NOT_FOUND;
    } else {
      conversion.status = EFI_SUCCESS;  // identity
    }
  }
  conversions_.push_back(conversion);
  return conversion.status;
}

}  // namespace sim
