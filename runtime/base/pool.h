// Pool allocation through the firmware, checked for failure by returning null.
//
// Every allocator returns null, never a partial result, when the firmware refuses or
// its services are not there yet (gBS null, and for runtime pool in SMM gSmst); it
// never blocks beyond the firmware's own allocation. The caller checks every result.
// Buffers are 8-byte aligned. None may be called above TPL_NOTIFY outside SMM.
#pragma once

#include "runtime/uefi/types.h"

// Boot-services data: freed by the firmware at ExitBootServices.
VOID *AllocatePool(UINTN Size);
// Runtime pool: survives into the OS; comes from SMRAM when the image runs in SMM
// (gSmst set), from runtime-services data otherwise.
VOID *AllocateRuntimePool(UINTN Size);
// As above, with Size bytes of zeros.
VOID *AllocateZeroPool(UINTN Size);
VOID *AllocateRuntimeZeroPool(UINTN Size);
// Boot-services data holding a copy of Size bytes from Source (Source must be readable
// for Size bytes).
VOID *AllocateCopyPool(UINTN Size, const VOID *Source);
// A new zeroed buffer of NewSize bytes of PoolType holding the first
// min(OldSize, NewSize) bytes of OldBuffer; OldBuffer is freed only on success, so on
// null it is still the caller's, unchanged. OldBuffer may be null.
VOID *ReallocatePool(EFI_MEMORY_TYPE PoolType, UINTN OldSize, UINTN NewSize, VOID *OldBuffer);
// Returns a buffer to SMRAM pool when it lies in SMRAM (and gSmst is set), otherwise to
// boot services; ignored when neither service exists. Buffer must come from one of the
// allocators above and not be freed twice.
VOID FreePool(VOID *Buffer);
// TRUE when Buffer lies inside one of the SMRAM ranges the image learned at start-up
// (gSmramRanges); FALSE when there are none.
BOOLEAN IsInSmram(const VOID *Buffer);
// TRUE when every byte of [Buffer, Buffer + Length) lies inside one SMRAM range the image
// learned; FALSE when there are none, for an empty range and for one that wraps.
BOOLEAN IsRangeInSmram(const VOID *Buffer, UINTN Length);
