// Where the image runs and how it was loaded: the two questions the initialisers that
// share state with the firmware ask before they publish anything.
#pragma once

#include "runtime/uefi/smm.h"

// TRUE when EFI_SMM_BASE2_PROTOCOL is there and reports that the caller runs in SMM;
// then *Smst (when not null) receives the SMM system table.
BOOLEAN InsideSmm(EFI_SMM_SYSTEM_TABLE2 **Smst);
// TRUE when the image's loaded-image protocol gives EfiRuntimeServicesCode.
BOOLEAN IsRuntimeImage(EFI_HANDLE ImageHandle);
