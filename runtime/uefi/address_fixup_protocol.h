// AddressFixupProtocol: the platform's registry of module-wide pointer variables that
// it converts when the firmware switches to virtual addressing. The drivers call only
// the third and fourth slots, each with the address of the pointer variable as the
// only argument (no interface pointer). The first two slots are the platform's own;
// the drivers never call them, so they keep a generic pointer type here.
#pragma once

#include "runtime/uefi/types.h"

typedef EFI_STATUS(EFIAPI *ADDRESS_FIXUP_REGISTER)(VOID **PointerVariable);
typedef EFI_STATUS(EFIAPI *ADDRESS_FIXUP_REMOVE)(VOID **PointerVariable);

typedef struct {
  VOID *Platform0;
  VOID *Platform1;
  ADDRESS_FIXUP_REGISTER Register;
  ADDRESS_FIXUP_REMOVE Remove;
} ADDRESS_FIXUP_PROTOCOL;
EFI_LAYOUT_OFFSET(ADDRESS_FIXUP_PROTOCOL, Register, 16);
EFI_LAYOUT_OFFSET(ADDRESS_FIXUP_PROTOCOL, Remove, 24);
EFI_LAYOUT_SIZE(ADDRESS_FIXUP_PROTOCOL, 32);
