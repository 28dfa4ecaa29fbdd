// The setup component's protocol, which the configuration driver reads the live setup
// record through: only the pointer at offset 8 is ours to read.
#pragma once

#include "runtime/uefi/types.h"

#pragma pack(push, 1)
typedef struct {
  UINT64 Reserved;
  UINT8 *SetupData;
} SETUP_DATA_PROTOCOL;
#pragma pack(pop)
EFI_LAYOUT_OFFSET(SETUP_DATA_PROTOCOL, SetupData, 8);
