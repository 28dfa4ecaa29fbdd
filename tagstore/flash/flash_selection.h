// Internals of flash device selection: the candidate record read from the PCD table,
// the context built from it, identification and SFDP discovery.
#pragma once

#include "tagstore/flash/flash_device_context.h"

#define FLASH_PCD_TOKEN_CHOSEN 433
#define FLASH_DESCRIPTOR_SIZE 16
#define FLASH_PARALLEL_COMMAND_CAPACITY 32
#define FLASH_SPI_COMMAND_CAPACITY 64
#define FLASH_NAME_SIZE 32

// One candidate as read from the four token spaces.
typedef struct {
  UINT32 RecordSize;  // descriptor size + 12
  UINT8 Descriptor[FLASH_DESCRIPTOR_SIZE];
  UINT8 CommandData[FLASH_SPI_COMMAND_CAPACITY];
  CHAR8 FirstName[FLASH_NAME_SIZE];
  CHAR8 SecondName[FLASH_NAME_SIZE];
} FLASH_CANDIDATE_RECORD;

// Reads candidate Token into the record, fills the shared context, makes it current and
// identifies the device. EFI_SUCCESS when the device answers as described.
EFI_STATUS FlashTryCandidate(UINTN Token);
EFI_STATUS FlashFillContext(const FLASH_CANDIDATE_RECORD *Record, FlashDeviceContext *Context);
EFI_STATUS FlashIdentifyDevice(FlashDeviceContext *Context);
EFI_STATUS FlashSfdpDiscover(SPI_PARAMETER_BLOCK *Block);
// Size code of a device of Bytes bytes; codes above HighestCode give 0xFF.
UINT8 FlashSizeCode(UINT64 Bytes, UINT8 HighestCode);

static inline UINT32 ReadLe32(const UINT8 *Bytes) {
  return (UINT32)Bytes[0] | ((UINT32)Bytes[1] << 8) | ((UINT32)Bytes[2] << 16) | ((UINT32)Bytes[3] << 24);
}
static inline UINT16 ReadLe16(const UINT8 *Bytes) { return (UINT16)(Bytes[0] | (Bytes[1] << 8)); }
static inline UINT64 ReadLe64(const UINT8 *Bytes) {
  return (UINT64)ReadLe32(Bytes) | ((UINT64)ReadLe32(Bytes + 4) << 32);
}
