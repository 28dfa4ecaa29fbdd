// The address fix-up registration of an SMM image: SMM code never switches to
// virtual addresses, so there is nothing to register with.
#include "runtime/shared_state/address_fixup.h"

#include "runtime/uefi/status.h"

EFI_STATUS AddressFixupRegister(VOID *PointerVariable) {
  (void)PointerVariable;
  return EFI_UNSUPPORTED;
}

EFI_STATUS AddressFixupRemove(VOID *PointerVariable) {
  (void)PointerVariable;
  return EFI_UNSUPPORTED;
}
