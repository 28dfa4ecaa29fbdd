// The common entry of erase and write: the selected device's access type decides how.
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_access.h"
#include "tagstore/flash/flash_layer.h"

#define FLASH_ERASE_BLOCK_SIZE 4096

// The context erase and write work with, taken from the layer on first use.
static FlashDeviceContext *mAccessContext;

UINT32 FlashEraseBlockSize(VOID) { return FLASH_ERASE_BLOCK_SIZE; }

// A parallel or firmware-hub part answers at the top of the 4-GiB space, as large as
// its context says. Every address a command goes to must lie there: a part of unknown
// size can be sent nothing.
#define FLASH_WINDOW_END 0x100000000ull

static BOOLEAN InDeviceWindow(const FlashDeviceContext *Context, UINT64 Address, UINT64 Length) {
  UINT64 DeviceBytes = (UINT64)Context->BlockSize256 * Context->BlockCount * 256;
  if (DeviceBytes == 0 || DeviceBytes > FLASH_WINDOW_END) {
    return FALSE;
  }
  UINT64 First = FLASH_WINDOW_END - DeviceBytes;
  return Address >= First && Address < FLASH_WINDOW_END && Length <= FLASH_WINDOW_END - Address;
}

// Parallel and firmware-hub parts: the range outside the part's window, or for the JEDEC
// command set a command address outside it. (The SPI path checks its own range.)
static BOOLEAN OutsideParallelWindow(const FlashDeviceContext *Context, UINT64 Address, UINT64 Length) {
  if (Context->AccessType != FLASH_ACCESS_PARALLEL_JEDEC && Context->AccessType != FLASH_ACCESS_FIRMWARE_HUB) {
    return FALSE;
  }
  if (!InDeviceWindow(Context, Address, Length)) {
    return TRUE;
  }
  if (Context->AccessType == FLASH_ACCESS_FIRMWARE_HUB) {
    return FALSE;
  }
  const PARALLEL_COMMAND_BLOCK *Block = (const PARALLEL_COMMAND_BLOCK *)Context->Parameters;
  return Block == nullptr || !InDeviceWindow(Context, Block->Command1Address, 1) ||
         !InDeviceWindow(Context, Block->Command2Address, 1);
}

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
  if (OutsideParallelWindow(Context, Address, Length)) {
    return EFI_INVALID_PARAMETER;
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
  if (OutsideParallelWindow(Context, Address, *Length)) {
    return EFI_INVALID_PARAMETER;
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
