// Filling the shared context from a candidate record, with the parameter block its
// access type needs.
#include "runtime/base/memory.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_selection.h"

static PARALLEL_COMMAND_BLOCK mParallelBlock;
static SPI_PARAMETER_BLOCK mSpiBlock;

UINT8 FlashSizeCode(UINT64 Bytes, UINT8 HighestCode) {
  UINT64 Size = 0x20000;
  for (UINT8 Code = 1; Code <= HighestCode; Code++, Size <<= 1) {
    if (Bytes == Size) {
      return Code;
    }
  }
  return 0xFF;
}

static VOID BuildParallelBlock(const UINT8 *Command) {
  mParallelBlock.IdAddress = ReadLe64(Command + 4);
  mParallelBlock.Command1Address = ReadLe64(Command + 12);
  mParallelBlock.Command2Address = ReadLe64(Command + 20);
}

static VOID BuildSpiBlock(const UINT8 *Command, UINT64 Density) {
  ZeroMem(&mSpiBlock, sizeof(mSpiBlock));
  CopyMem(mSpiBlock.Instructions, Command + 4, sizeof(mSpiBlock.Instructions));
  UINT32 Flags = 0;
  Flags |= (UINT32)(Command[16] & 1) << 0;
  Flags |= (UINT32)(Command[17] & 1) << 1;
  Flags |= (UINT32)(Command[18] & 1) << 2;
  Flags |= (UINT32)(Command[19] & 1) << 3;
  Flags |= (UINT32)(Command[20] & 7) << SPI_FLAG_ID_LENGTH_SHIFT;
  Flags |= (UINT32)(Command[21] & 7) << 7;
  Flags |= (UINT32)(Command[22] & 1) << 10;
  mSpiBlock.Flags = Flags;
  CopyMem(mSpiBlock.Stored, Command + 24, sizeof(mSpiBlock.Stored));
  mSpiBlock.EraseBlockSize = ReadLe32(Command + 32);
  mSpiBlock.Extra = ReadLe32(Command + 36);
  mSpiBlock.Density = Density;
}

EFI_STATUS FlashFillContext(const FLASH_CANDIDATE_RECORD *Record, FlashDeviceContext *Context) {
  const UINT8 *Descriptor = Record->Descriptor;
  Context->AccessType = Descriptor[0];
  Context->DeviceId = ReadLe32(Descriptor + 4);
  Context->Info = ReadLe32(Descriptor + 8);
  Context->BlockSize256 = ReadLe16(Descriptor + 12);
  Context->BlockCount = ReadLe16(Descriptor + 14);
  CopyMem(Context->FirstName, Record->FirstName, sizeof(Context->FirstName));
  CopyMem(Context->SecondName, Record->SecondName, sizeof(Context->SecondName));
  Context->Reserved = 0xFFFF;
  UINT64 Bytes = (UINT64)Context->BlockSize256 * Context->BlockCount * 256;
  Context->SizeCode = FlashSizeCode(Bytes, 9);

  if (Context->AccessType <= FLASH_ACCESS_PARALLEL_OTHER) {
    BuildParallelBlock(Record->CommandData);
    Context->Parameters = &mParallelBlock;
    return EFI_SUCCESS;
  }
  if (Context->AccessType == FLASH_ACCESS_SPI) {
    BuildSpiBlock(Record->CommandData, Bytes);
    Context->Parameters = &mSpiBlock;
    return EFI_SUCCESS;
  }
  return EFI_DEVICE_ERROR;
}
