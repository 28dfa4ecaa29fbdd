// The SMM driver's list of SMRAM ranges, which lets its free routine send SMRAM
// buffers back to SMRAM pool and everything else to boot services.
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/shared_state/shared_state.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

EFI_STATUS EFIAPI InitSmramRanges(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  gSmramRanges = nullptr;
  gSmramRangeCount = 0;
  if (gSmst == nullptr) {
    return EFI_SUCCESS;
  }
  EFI_SMM_ACCESS2_PROTOCOL *Access = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiSmmAccess2ProtocolGuid, nullptr, (VOID **)&Access)) || Access == nullptr) {
    return EFI_SUCCESS;
  }
  UINTN Size = 0;
  if (Access->GetCapabilities(Access, &Size, nullptr) != EFI_BUFFER_TOO_SMALL || Size == 0) {
    return EFI_SUCCESS;
  }
  EFI_SMRAM_DESCRIPTOR *Ranges = nullptr;
  if (EFI_ERROR(gSmst->SmmAllocatePool(EfiRuntimeServicesData, Size, (VOID **)&Ranges)) || Ranges == nullptr) {
    return EFI_SUCCESS;
  }
  // A map that changed size between the two calls is not trusted.
  UINTN Filled = Size;
  if (EFI_ERROR(Access->GetCapabilities(Access, &Filled, Ranges)) || Filled > Size) {
    gSmst->SmmFreePool(Ranges);
    return EFI_SUCCESS;
  }
  gSmramRanges = Ranges;
  gSmramRangeCount = Filled / sizeof(EFI_SMRAM_DESCRIPTOR);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI TearDownSmramRanges(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  if (gSmramRanges == nullptr) {
    return EFI_SUCCESS;
  }
  // The free decides by the list itself, so the list goes only after the buffer.
  FreePool(gSmramRanges);
  gSmramRanges = nullptr;
  gSmramRangeCount = 0;
  return EFI_SUCCESS;
}
