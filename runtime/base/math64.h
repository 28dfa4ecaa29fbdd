// 64-bit arithmetic helpers.
#pragma once

#include "runtime/uefi/types.h"

UINT64 MultU64x32(UINT64 Multiplicand, UINT32 Multiplier);
UINT64 MultU64x64(UINT64 Multiplicand, UINT64 Multiplier);
UINT64 DivU64x32Remainder(UINT64 Dividend, UINT32 Divisor, UINT32 *Remainder);
