// Shared between the tag-store probe image and the tests that load it.
#pragma once

#include "tagstore/flash/flash_device_context.h"
#include "tagstore/tag_store.h"

// What FlashLayerInit learned, as the probe reports it.
typedef struct {
  UINT64 BiosBase;
  UINT64 BiosSize;
  UINT64 SpiBar;
  UINT64 ComponentField;
  UINT64 TotalSize;
  UINT64 BiosLinearOffset;
  UINT64 ChipsetSpi;
  UINT64 RegionFlash;
  UINT64 CurrentContext;
  UINT64 Layout;  // FLASH_LAYOUT_STATE
} TAG_STORE_PROBE_LAYER;

// The tag store and flash layer routines of an image with the SMM deliverable's lists,
// published so that tests can drive each one.
typedef struct {
  BOOLEAN(EFIAPI *Read)(UINT32 Tag, UINT64 *Size, VOID *Buffer);
  BOOLEAN(EFIAPI *Write)(UINT32 Tag, UINT64 *Size, const VOID *Buffer);
  BOOLEAN(EFIAPI *Flush)(VOID);
  EFI_STATUS(EFIAPI *Init)(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
  TagStoreEntry *(EFIAPI *Table)(VOID);
  UINT32(EFIAPI *EraseBlockSize)(VOID);
  EFI_STATUS(EFIAPI *EraseRange)(UINT64 Address, UINTN Length);
  EFI_STATUS(EFIAPI *WriteRange)(UINT64 Address, const VOID *Data, UINTN *Length);
  VOID(EFIAPI *DeviceDetect)(VOID);
  FlashDeviceContext *(EFIAPI *CurrentContext)(VOID);
  VOID(EFIAPI *LayerState)(TAG_STORE_PROBE_LAYER *State);
} TAG_STORE_PROBE;

inline EFI_GUID gTagStoreProbeProtocolGuid = {
    0x5D1E93B2, 0x7A4C, 0x4E28, {0x8B, 0x6F, 0x13, 0xC9, 0x2E, 0x74, 0xA0, 0x5B}};
