// Confirming a candidate: parallel devices answer an ID read, SPI devices their JEDEC ID,
// and the generic SPI device describes itself through SFDP.
#include "runtime/base/cpu.h"
#include "runtime/trace/post_code.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_layer_state.h"
#include "tagstore/flash/flash_selection.h"

#define POST_CODE_SPI_IDENTIFY 0x41
#define JEDEC_ID_MAX_LENGTH 4

static EFI_STATUS CompareId(UINT16 Id, const FlashDeviceContext *Context) {
  return Id == (UINT16)Context->DeviceId ? EFI_SUCCESS : EFI_UNSUPPORTED;
}

static EFI_STATUS IdentifyParallelJedec(const FlashDeviceContext *Context) {
  const PARALLEL_COMMAND_BLOCK *Block = (const PARALLEL_COMMAND_BLOCK *)Context->Parameters;
  MmioWrite8(Block->Command1Address, 0xAA);
  MmioWrite8(Block->Command2Address, 0x55);
  MmioWrite8(Block->Command1Address, 0x90);
  UINT16 Id = MmioRead16(Block->IdAddress);
  MmioWrite8(Block->Command1Address, 0xF0);
  return CompareId(Id, Context);
}

static EFI_STATUS IdentifyFirmwareHub(const FlashDeviceContext *Context) {
  const PARALLEL_COMMAND_BLOCK *Block = (const PARALLEL_COMMAND_BLOCK *)Context->Parameters;
  MmioWrite8(Block->IdAddress, 0x90);
  UINT16 Id = MmioRead16(Block->IdAddress);
  MmioWrite8(Block->IdAddress, 0xFF);
  return CompareId(Id, Context);
}

static EFI_STATUS IdentifySpi(FlashDeviceContext *Context) {
  if (PostCodeReportingEnabled()) {
    EmitPostCode(POST_CODE_SPI_IDENTIFY);
  }
  if (gChipsetSpi == nullptr) {
    return EFI_UNSUPPORTED;
  }
  SPI_PARAMETER_BLOCK *Block = (SPI_PARAMETER_BLOCK *)Context->Parameters;
  if (Context->DeviceId != FLASH_GENERIC_SPI_TOKEN) {
    UINT32 Length = (Block->Flags & SPI_FLAG_ID_LENGTH_MASK) >> SPI_FLAG_ID_LENGTH_SHIFT;
    // The ID is compared as one 32-bit value; a longer ID cannot be held, let alone match.
    if (Length > JEDEC_ID_MAX_LENGTH) {
      return EFI_UNSUPPORTED;
    }
    UINT8 Id[JEDEC_ID_MAX_LENGTH] = {0, 0, 0, 0};
    gChipsetSpi->ReadJedecId(gChipsetSpi, 0, Length, Id);
    return ReadLe32(Id) == Context->DeviceId ? EFI_SUCCESS : EFI_UNSUPPORTED;
  }

  EFI_STATUS Status = FlashSfdpDiscover(Block);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Context->SizeCode = FlashSizeCode(Block->Density, 8);
  // Without an erase block size the descriptor's geometry stays as it was.
  if (Block->EraseBlockSize != 0) {
    Context->BlockSize256 = (UINT16)(Block->EraseBlockSize >> 8);
    UINT64 Count = Block->Density / Block->EraseBlockSize;
    Context->BlockCount = Count > 0xFFFF ? (UINT16)0xFFFF : (UINT16)Count;
  }
  return EFI_SUCCESS;
}

EFI_STATUS FlashIdentifyDevice(FlashDeviceContext *Context) {
  switch (Context->AccessType) {
    case FLASH_ACCESS_PARALLEL_JEDEC: return IdentifyParallelJedec(Context);
    case FLASH_ACCESS_FIRMWARE_HUB: return IdentifyFirmwareHub(Context);
    case FLASH_ACCESS_SPI: return IdentifySpi(Context);
    default: return EFI_UNSUPPORTED;
  }
}
