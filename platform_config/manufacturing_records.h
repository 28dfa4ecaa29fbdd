// Reads a 256-byte manufacturing record from the tag store.
#pragma once

#include "runtime/uefi/types.h"

// A record that cannot be read, or that is larger than the 256-byte buffer, looks like
// erased flash (every byte 0xFF): it leads to the same decisions as an erased one. The
// bytes past a shorter record read 0xFF as well.
VOID ReadManufacturingRecord(UINT32 Tag, UINT8 *Buffer);
