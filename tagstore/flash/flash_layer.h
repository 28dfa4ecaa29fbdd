// The flash layer: device selection at initialisation, then block erase and program
// of memory-mapped flash ranges for the tag store.
#pragma once

#include "runtime/uefi/system_table.h"

EFI_STATUS FlashLayerInit(VOID);
VOID FlashDeviceDetect(VOID);

UINT32 FlashEraseBlockSize(VOID);
EFI_STATUS FlashEraseRange(UINT64 Address, UINTN Length);
EFI_STATUS FlashWriteRange(UINT64 Address, const VOID *Data, UINTN Length);
// The same write with the length by reference: cut to the bytes written when a parallel
// or firmware-hub byte fails.
EFI_STATUS FlashWriteRangeCounted(UINT64 Address, const VOID *Data, UINTN *Length);

// Library steps of the deliverables that carry the flash layer.
EFI_STATUS EFIAPI InitFlashLayer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitFlashContextPointer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitFlashDeviceSelection(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownFlashContextPointer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownFlashLayer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
