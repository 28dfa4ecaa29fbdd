// Erase and program by access type, below the common entry of flash_access.cpp.
#pragma once

#include "tagstore/flash/flash_device_context.h"

// Polling is spaced by this delay.
#define FLASH_POLL_DELAY_US 2

EFI_STATUS ParallelJedecErase(const PARALLEL_COMMAND_BLOCK *Block, UINT64 Address, UINTN Length);
EFI_STATUS ParallelJedecWrite(const PARALLEL_COMMAND_BLOCK *Block, UINT64 Address, const UINT8 *Data, UINTN *Length);
EFI_STATUS FirmwareHubErase(UINT64 Address, UINTN Length);
EFI_STATUS FirmwareHubWrite(UINT64 Address, const UINT8 *Data, UINTN *Length);
EFI_STATUS SpiFlashErase(UINT64 Address, UINTN Length);
EFI_STATUS SpiFlashWrite(UINT64 Address, const UINT8 *Data, UINTN Length);
