// Wiping secrets (the password block and its widened copies) before their memory is
// given back or goes out of scope.
#pragma once

#include "runtime/uefi/types.h"

// Zeroes the bytes through volatile stores, so the compiler cannot drop the wipe as a
// dead store before a free or a return.
VOID WipeSecret(VOID *Buffer, UINTN Length);
// Wipes and frees a pool buffer; a null buffer is left alone.
VOID FreeSecret(VOID *Buffer, UINTN Length);
