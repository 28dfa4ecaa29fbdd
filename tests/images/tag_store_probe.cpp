// A probe with the SMM deliverable's library steps and the whole tag store: it publishes
// the store's and the flash layer's routines as a protocol.
#include "power_event_log/library_steps.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/flash/flash_layer_state.h"
#include "tagstore/tag_store_internal.h"
#include "tests/images/tag_store_probe.h"

static BOOLEAN EFIAPI ProbeRead(UINT32 Tag, UINT64 *Size, VOID *Buffer) { return TagStoreRead(Tag, Size, Buffer); }
static BOOLEAN EFIAPI ProbeWrite(UINT32 Tag, UINT64 *Size, const VOID *Buffer) {
  return TagStoreWrite(Tag, Size, Buffer);
}
static BOOLEAN EFIAPI ProbeFlush(VOID) { return TagStoreFlush(); }
static TagStoreEntry *EFIAPI ProbeTable(VOID) { return gTagStoreTable; }
static UINT32 EFIAPI ProbeEraseBlockSize(VOID) { return FlashEraseBlockSize(); }
static EFI_STATUS EFIAPI ProbeEraseRange(UINT64 Address, UINTN Length) { return FlashEraseRange(Address, Length); }
static EFI_STATUS EFIAPI ProbeWriteRange(UINT64 Address, const VOID *Data, UINTN *Length) {
  return FlashWriteRangeCounted(Address, Data, Length);
}
static VOID EFIAPI ProbeDeviceDetect(VOID) { FlashDeviceDetect(); }
static FlashDeviceContext *EFIAPI ProbeCurrentContext(VOID) { return gCurrentFlashContext; }
static VOID EFIAPI ProbeLayerState(TAG_STORE_PROBE_LAYER *State) {
  State->BiosBase = gBiosBase;
  State->BiosSize = gBiosSize;
  State->SpiBar = gSpiBar;
  State->ComponentField = gFlashComponentField;
  State->TotalSize = gFlashTotalSize;
  State->BiosLinearOffset = gBiosLinearOffset;
  State->ChipsetSpi = (UINT64)gChipsetSpi;
  State->RegionFlash = (UINT64)gRegionFlash;
  State->CurrentContext = (UINT64)gCurrentFlashContext;
  State->Layout = gFlashLayout;
}

static TAG_STORE_PROBE mProbe = {ProbeRead,         ProbeWrite,          ProbeFlush,      TagStoreInit,
                                 ProbeTable,        ProbeEraseBlockSize, ProbeEraseRange, ProbeWriteRange,
                                 ProbeDeviceDetect, ProbeCurrentContext, ProbeLayerState};

static EFI_STATUS EFIAPI ProbeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)SystemTable;
  EFI_HANDLE Handle = ImageHandle;
  return gBS->InstallProtocolInterface(&Handle, &gTagStoreProbeProtocolGuid, EFI_NATIVE_INTERFACE, &mProbe);
}

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {
    &gPowerEventLogInitialisers, &gPowerEventLogTearDowns, ProbeEntry, FALSE, 0,
};
