// Pool allocation through the firmware, checked for failure by returning null.
#pragma once

#include "runtime/uefi/types.h"

VOID *AllocatePool(UINTN Size);
// Runtime pool: survives into the OS; comes from SMRAM when the image runs in SMM.
VOID *AllocateRuntimePool(UINTN Size);
VOID *AllocateZeroPool(UINTN Size);
VOID *AllocateRuntimeZeroPool(UINTN Size);
VOID *AllocateCopyPool(UINTN Size, const VOID *Source);
VOID *ReallocatePool(EFI_MEMORY_TYPE PoolType, UINTN OldSize, UINTN NewSize, VOID *OldBuffer);
// Returns a buffer to SMRAM pool when it lies in SMRAM, otherwise to boot services.
VOID FreePool(VOID *Buffer);
BOOLEAN IsInSmram(const VOID *Buffer);
