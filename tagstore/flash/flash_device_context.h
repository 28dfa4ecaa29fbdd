// The selected flash device as the flash layer works with it, and the two parameter
// blocks a context can point at.
#pragma once

#include "runtime/uefi/types.h"

#define FLASH_ACCESS_PARALLEL_JEDEC 0u
#define FLASH_ACCESS_FIRMWARE_HUB 1u
#define FLASH_ACCESS_PARALLEL_OTHER 2u
#define FLASH_ACCESS_SPI 3u

// The generic SPI device: identified by its SFDP tables, tried only as the last resort.
#define FLASH_GENERIC_SPI_TOKEN 0x12345678u

// Commands of parallel devices (access types 0 to 2), three memory addresses.
typedef struct {
  UINT64 IdAddress;
  UINT64 Command1Address;
  UINT64 Command2Address;
} PARALLEL_COMMAND_BLOCK;
EFI_LAYOUT_SIZE(PARALLEL_COMMAND_BLOCK, 24);

// SPI parameter flags.
#define SPI_FLAG_WRITE_GRANULARITY_64 (1u << 3)
#define SPI_FLAG_ID_LENGTH_SHIFT 4
#define SPI_FLAG_ID_LENGTH_MASK (7u << SPI_FLAG_ID_LENGTH_SHIFT)
#define SPI_FLAG_NO_VOLATILE_STATUS (1u << 10)

// Parameters of an SPI device (access type 3), built from the candidate's command data
// and refined by SFDP discovery for the generic device.
typedef struct {
  UINT8 Instructions[12];  // [1] is the 4-KiB erase instruction
  UINT32 Flags;
  UINT8 Stored[4];
  UINT32 EraseBlockSize;
  UINT32 Extra;
  UINT64 Density;  // bytes
} SPI_PARAMETER_BLOCK;

typedef struct {
  UINT32 AccessType;
  UINT32 DeviceId;
  UINT32 Info;
  UINT8 SizeCode;
  CHAR8 FirstName[32];
  CHAR8 SecondName[32];
  UINT16 BlockSize256;
  UINT16 BlockCount;
  UINT16 Reserved;  // always 0xFFFF
  VOID *Parameters;
} FlashDeviceContext;

// The layer's current context.
EFI_STATUS FlashGetCurrentContext(FlashDeviceContext **Context);
EFI_STATUS FlashSetCurrentContext(FlashDeviceContext *Context);
