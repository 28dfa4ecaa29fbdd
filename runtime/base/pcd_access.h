// Access to the platform configuration database through the two PCD protocols,
// located on first use and kept.
#pragma once

#include "runtime/uefi/types.h"

UINT32 PcdGet32ByToken(UINTN TokenNumber);
UINT32 PcdSet32ByToken(UINTN TokenNumber, UINT32 Value);
UINT64 PcdGet64Ex(const EFI_GUID *TokenSpace, UINTN TokenNumber);
VOID *PcdGetPtrEx(const EFI_GUID *TokenSpace, UINTN TokenNumber);
UINTN PcdGetSizeEx(const EFI_GUID *TokenSpace, UINTN TokenNumber);
// Next token of the space after TokenNumber (0 starts the walk); 0 at the end.
UINTN PcdGetNextTokenEx(const EFI_GUID *TokenSpace, UINTN TokenNumber);
UINT64 PcdSet64Ex(const EFI_GUID *TokenSpace, UINTN TokenNumber, UINT64 Value);
