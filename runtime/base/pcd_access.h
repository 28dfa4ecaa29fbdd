// Access to the platform configuration database through the two PCD protocols, located
// on first use and kept (inside SMM the SMM protocol database is asked first, then boot
// services).
//
// None of these routines fails loudly: when the protocol cannot be found a read gives 0
// (null for a pointer) and a write does nothing, so a caller that must tell "absent"
// from "zero" checks PcdGetSizeEx or walks with PcdGetNextTokenEx first. Each is one
// call into the PCD driver; they do not block. Tokens and token spaces are the
// caller's; an unknown token is whatever the PCD driver answers for it.
#pragma once

#include "runtime/uefi/types.h"

// Dynamic PCDs of the default token space, by token number. The set returns Value
// whether or not it was stored.
UINT32 PcdGet32ByToken(UINTN TokenNumber);
UINT32 PcdSet32ByToken(UINTN TokenNumber, UINT32 Value);
// Dynamic-ex PCDs by token space and number. PcdGetPtrEx's buffer belongs to the PCD
// driver (read it, copy it, never free it); PcdGetSizeEx is its size in bytes (0 when
// the token or the protocol is absent).
UINT64 PcdGet64Ex(const EFI_GUID *TokenSpace, UINTN TokenNumber);
VOID *PcdGetPtrEx(const EFI_GUID *TokenSpace, UINTN TokenNumber);
UINTN PcdGetSizeEx(const EFI_GUID *TokenSpace, UINTN TokenNumber);
// Next token of the space after TokenNumber (0 starts the walk); 0 at the end, on any
// error and when the protocol is absent.
UINTN PcdGetNextTokenEx(const EFI_GUID *TokenSpace, UINTN TokenNumber);
// Returns Value whether or not it was stored.
UINT64 PcdSet64Ex(const EFI_GUID *TokenSpace, UINTN TokenNumber, UINT64 Value);
