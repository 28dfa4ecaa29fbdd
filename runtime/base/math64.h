// 64-bit arithmetic helpers.
#pragma once

#include "runtime/uefi/types.h"

// Products modulo 2^64: a product that does not fit wraps; callers keep their operands
// in range.
UINT64 MultU64x32(UINT64 Multiplicand, UINT32 Multiplier);
UINT64 MultU64x64(UINT64 Multiplicand, UINT64 Multiplier);
// Quotient of Dividend / Divisor, the remainder through Remainder when it is not null.
// Precondition: Divisor is not 0.
UINT64 DivU64x32Remainder(UINT64 Dividend, UINT32 Divisor, UINT32 *Remainder);
