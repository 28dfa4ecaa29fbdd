// Registration of module-wide pointer variables for conversion when the firmware
// switches to virtual addressing (through the platform's address fix-up protocol).
#pragma once

#include "runtime/uefi/types.h"

// Both return EFI_ABORTED, calling nothing, when the protocol is not there or the
// image is not a runtime image.
// An SMM image carries the variant in address_fixup_smm.cpp instead: there is no
// fix-up inside SMM, and both answer EFI_UNSUPPORTED.
EFI_STATUS AddressFixupRegister(VOID *PointerVariable);
EFI_STATUS AddressFixupRemove(VOID *PointerVariable);
