// SFDP discovery: the JEDEC basic flash parameter table gives the 4-KiB erase
// instruction, the write granularity and the density of a device we have no entry for.
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_layer_state.h"
#include "tagstore/flash/flash_selection.h"

#define SFDP_SIGNATURE 0x50444653u  // "SFDP"
#define SFDP_HEADER_SIZE 16
#define SFDP_BASIC_TABLE_MAX_DWORDS 9
#define SFDP_ERASE_4K_SUPPORTED 0x1
#define SFDP_DENSITY_POWER_OF_TWO 0x80000000u

EFI_STATUS FlashSfdpDiscover(SPI_PARAMETER_BLOCK *Block) {
  if (gChipsetSpi == nullptr) {
    return EFI_UNSUPPORTED;
  }
  UINT8 Header[SFDP_HEADER_SIZE];
  EFI_STATUS Status = gChipsetSpi->ReadSfdp(gChipsetSpi, 0, 0, sizeof(Header), Header);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  UINT8 Dwords = Header[11];
  if (ReadLe32(Header) != SFDP_SIGNATURE || Dwords < 2) {
    return EFI_SUCCESS;
  }
  if (Dwords > SFDP_BASIC_TABLE_MAX_DWORDS) {
    Dwords = SFDP_BASIC_TABLE_MAX_DWORDS;
  }
  UINT8 Table[SFDP_BASIC_TABLE_MAX_DWORDS * 4];
  Status = gChipsetSpi->ReadSfdp(gChipsetSpi, 0, Header[12], (UINT32)Dwords * 4, Table);
  if (EFI_ERROR(Status)) {
    return Status;
  }

  Block->Flags &= ~0x3u;
  if ((Table[0] & 0x3) != SFDP_ERASE_4K_SUPPORTED || Table[1] == 0xFF) {
    return EFI_UNSUPPORTED;
  }
  UINT32 Density = ReadLe32(Table + 4);
  UINT64 Bytes;
  if ((Density & SFDP_DENSITY_POWER_OF_TWO) == 0) {
    Bytes = ((UINT64)Density + 1) >> 3;
  } else {
    // 2^N bits; an N that gives less than a byte or more than 64 bits of byte count is
    // not a density any device has.
    UINT32 Exponent = Density & ~SFDP_DENSITY_POWER_OF_TWO;
    if (Exponent < 3 || Exponent > 66) {
      return EFI_UNSUPPORTED;
    }
    Bytes = 1ull << (Exponent - 3);
  }

  Block->EraseBlockSize = 4096;
  Block->Instructions[1] = Table[1];
  Block->Flags &= ~SPI_FLAG_WRITE_GRANULARITY_64;
  Block->Flags |= (Table[0] & 0x4) != 0 ? SPI_FLAG_WRITE_GRANULARITY_64 : 0;
  Block->Flags &= ~SPI_FLAG_NO_VOLATILE_STATUS;
  Block->Flags |= (Table[0] & 0x8) == 0 ? SPI_FLAG_NO_VOLATILE_STATUS : 0;
  Block->Density = Bytes;
  return EFI_SUCCESS;
}
