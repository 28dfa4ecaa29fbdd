#include "runtime/base/pool.h"

#include "runtime/base/memory.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

static VOID *AllocateOfType(EFI_MEMORY_TYPE PoolType, UINTN Size) {
  VOID *Buffer = nullptr;
  if (gBS == nullptr || EFI_ERROR(gBS->AllocatePool(PoolType, Size, &Buffer))) {
    return nullptr;
  }
  return Buffer;
}

VOID *AllocatePool(UINTN Size) { return AllocateOfType(EfiBootServicesData, Size); }

VOID *AllocateRuntimePool(UINTN Size) {
  if (gSmst != nullptr) {
    VOID *Buffer = nullptr;
    return EFI_ERROR(gSmst->SmmAllocatePool(EfiRuntimeServicesData, Size, &Buffer)) ? nullptr : Buffer;
  }
  return AllocateOfType(EfiRuntimeServicesData, Size);
}

VOID *AllocateZeroPool(UINTN Size) {
  VOID *Buffer = AllocatePool(Size);
  return Buffer == nullptr ? nullptr : ZeroMem(Buffer, Size);
}

VOID *AllocateRuntimeZeroPool(UINTN Size) {
  VOID *Buffer = AllocateRuntimePool(Size);
  return Buffer == nullptr ? nullptr : ZeroMem(Buffer, Size);
}

VOID *AllocateCopyPool(UINTN Size, const VOID *Source) {
  VOID *Buffer = AllocatePool(Size);
  return Buffer == nullptr ? nullptr : CopyMem(Buffer, Source, Size);
}

VOID *ReallocatePool(EFI_MEMORY_TYPE PoolType, UINTN OldSize, UINTN NewSize, VOID *OldBuffer) {
  VOID *NewBuffer = AllocateOfType(PoolType, NewSize);
  if (NewBuffer == nullptr) {
    return nullptr;
  }
  ZeroMem(NewBuffer, NewSize);
  if (OldBuffer != nullptr) {
    CopyMem(NewBuffer, OldBuffer, OldSize < NewSize ? OldSize : NewSize);
    FreePool(OldBuffer);
  }
  return NewBuffer;
}

BOOLEAN IsInSmram(const VOID *Buffer) { return IsRangeInSmram(Buffer, 1); }

BOOLEAN IsRangeInSmram(const VOID *Buffer, UINTN Length) {
  UINT64 Address = (UINT64)(UINTN)Buffer;
  if (Length == 0 || Address + (Length - 1) < Address) {
    return FALSE;
  }
  for (UINTN Index = 0; Index < gSmramRangeCount; Index++) {
    const EFI_SMRAM_DESCRIPTOR *Range = &gSmramRanges[Index];
    if (Address >= Range->CpuStart && Address - Range->CpuStart < Range->PhysicalSize &&
        Length - 1 <= Range->PhysicalSize - 1 - (Address - Range->CpuStart)) {
      return TRUE;
    }
  }
  return FALSE;
}

VOID FreePool(VOID *Buffer) {
  if (gSmst != nullptr && IsInSmram(Buffer)) {
    gSmst->SmmFreePool(Buffer);
    return;
  }
  if (gBS != nullptr) {
    gBS->FreePool(Buffer);
  }
}
