// The common entry of erase and write: the selected device's access type decides how.
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_access.h"
#include "tagstore/flash/flash_layer.h"

#define FLASH_ERASE_BLOCK_SIZE 4096

// The context erase and write work with, taken from the layer on first use.
static FlashDeviceContext *mAccessContext;

UINT32 FlashEraseBlockSize(VOID) { return FLASH_ERASE_BLOCK_SIZE; }

static EFI_STATUS TakeContext(FlashDeviceContext **Context) {
  if (mAccessContext == nullptr && EFI_ERROR(FlashGetCurrentContext(&mAccessContext))) {
    mAccessContext = nullptr;
    return EFI_NOT_FOUND;
  }
  FlashSetCurrentContext(mAccessContext);
  *Context = mAccessContext;
  return EFI_SUCCESS;
}

EFI_STATUS FlashEraseRange(UINT64 Address, UINTN Length) {
  FlashDeviceContext *Context;
  // Without a device nothing can be erased; saying so keeps callers' data marked unsaved.
  if (EFI_ERROR(TakeContext(&Context))) {
    return EFI_NOT_FOUND;
  }
  switch (Context->AccessType) {
    case FLASH_ACCESS_PARALLEL_JEDEC:
      return ParallelJedecErase((const PARALLEL_COMMAND_BLOCK *)Context->Parameters, Address, Length);
    case FLASH_ACCESS_FIRMWARE_HUB: return FirmwareHubErase(Address, Length);
    case FLASH_ACCESS_SPI: return SpiFlashErase(Address, Length);
    default: return EFI_UNSUPPORTED;
  }
}

EFI_STATUS FlashWriteRangeCounted(UINT64 Address, const VOID *Data, UINTN *Length) {
  FlashDeviceContext *Context;
  if (EFI_ERROR(TakeContext(&Context))) {
    return EFI_NOT_FOUND;
  }
  switch (Context->AccessType) {
    case FLASH_ACCESS_PARALLEL_JEDEC:
      return ParallelJedecWrite((const PARALLEL_COMMAND_BLOCK *)Context->Parameters, Address, (const UINT8 *)Data,
                                Length);
    case FLASH_ACCESS_FIRMWARE_HUB: return FirmwareHubWrite(Address, (const UINT8 *)Data, Length);
    case FLASH_ACCESS_SPI: return SpiFlashWrite(Address, (const UINT8 *)Data, *Length);
    default: return EFI_UNSUPPORTED;
  }
}

EFI_STATUS FlashWriteRange(UINT64 Address, const VOID *Data, UINTN Length) {
  return FlashWriteRangeCounted(Address, Data, &Length);
}
