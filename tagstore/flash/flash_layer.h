// The flash layer: device selection at initialisation, then block erase and program
// of memory-mapped flash ranges for the tag store.
//
// Order of use: FlashLayerInit (library step InitFlashLayer), then FlashDeviceDetect
// (InitFlashDeviceSelection); erase and write work on the device selected then. The
// layer keeps one current device context; it is not reentrant (callers in DXE and SMM
// each have their own copy of the layer). Every wait on the device is a busy-wait
// polled with MicroSecondDelay and bounded as stated below; no routine allocates,
// raises the TPL or touches interrupts.
#pragma once

#include "runtime/uefi/system_table.h"

// Resets the layer's state, reads the SPI controller's descriptor for the flash size
// (and so where the BIOS region lies in the flash) and binds the SPI flash services
// (the region flash service inside SMM, the chipset SPI protocol outside). Always
// EFI_SUCCESS: what cannot be learned stays unknown and the SPI path refuses what needs
// it (EFI_NOT_READY below). A missing controller or a BAR reading all ones is left
// alone. No waits.
EFI_STATUS FlashLayerInit(VOID);
// Walks the PCD candidate table from the candidate chosen last, identifies each, and
// makes the first that answers current (the generic SPI device when none does),
// recording the choice in PCD 433. Cannot fail. Bound: one identification per
// candidate: an ID read of a few device accesses without waits, or for SPI the chipset
// protocol's JEDEC-ID and SFDP reads (as long as that protocol takes).
VOID FlashDeviceDetect(VOID);

// The erase granule callers align records to: 4,096 bytes.
UINT32 FlashEraseBlockSize(VOID);

// Erases [Address, Address + Length) of the selected device. Address is the CPU address
// of the memory-mapped flash. Every unit of the range is issued even after one fails.
// Returns:
//   EFI_SUCCESS            every unit reads erased;
//   EFI_NOT_FOUND          no device was selected (FlashDeviceDetect has not found one);
//   EFI_INVALID_PARAMETER  a Length the device cannot erase (parallel JEDEC: 0 or not a
//                          multiple of 4 KiB; firmware hub: not a multiple of 64 KiB); a
//                          range not wholly inside the flash the layer knows (parallel
//                          and hub: the part's window below 4 GiB, as large as its context
//                          says, the JEDEC command addresses included; SPI: the flash
//                          below the top of the BIOS region), nothing sent to the part;
//   EFI_UNSUPPORTED        an unknown access type, or SPI outside the region service
//                          without the chipset SPI protocol;
//   EFI_NOT_READY          SPI at linear addresses while the flash layout is unknown;
//   EFI_DEVICE_ERROR       a unit never read erased, or reported an error (JEDEC, hub);
//   any status of the SPI services: the region service's Complete, or the chipset
//                          protocol's Erase.
// Blocking bound: parallel JEDEC about 100 ms per unit (50,001 polls of 2 us; a unit is
// 64 KiB when Length is a multiple of it, 4 KiB otherwise); firmware hub about 10 s per
// 64 KiB block (5,000,000 polls of 2 us); SPI as long as the SPI services take.
EFI_STATUS FlashEraseRange(UINT64 Address, UINTN Length);
// Programs Length bytes of Data (readable for Length bytes) at Address, which must be
// erased wherever the new bytes need bits set. The same statuses as FlashEraseRange
// (EFI_INVALID_PARAMETER for the range only); JEDEC and hub stop at the first byte
// that fails with EFI_DEVICE_ERROR. On SPI through the region service every chunk is
// written and the first failing Complete is the result; through the chipset protocol the
// first failing chunk ends the write with its status.
// Blocking bound: about 100 ms per byte on parallel JEDEC (bytes already equal are
// skipped), 10 s per byte on the firmware hub; SPI as long as its services take.
EFI_STATUS FlashWriteRange(UINT64 Address, const VOID *Data, UINTN Length);
// The same write with the length by reference: on EFI_DEVICE_ERROR from a parallel or
// firmware-hub byte, *Length is cut to the bytes written before it. SPI leaves *Length
// as it was whatever the result.
EFI_STATUS FlashWriteRangeCounted(UINT64 Address, const VOID *Data, UINTN *Length);

// Library steps of the deliverables that carry the flash layer. InitFlashLayer runs
// FlashLayerInit and registers the layer's pointers for the runtime address change;
// InitFlashContextPointer registers the current-context pointer; the tear-down steps
// remove those registrations. They return the registration's status (the context
// pointer) or EFI_SUCCESS.
EFI_STATUS EFIAPI InitFlashLayer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitFlashContextPointer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitFlashDeviceSelection(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownFlashContextPointer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownFlashLayer(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
