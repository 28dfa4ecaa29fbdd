#include "runtime/base/math64.h"

UINT64 MultU64x32(UINT64 Multiplicand, UINT32 Multiplier) { return Multiplicand * Multiplier; }

UINT64 MultU64x64(UINT64 Multiplicand, UINT64 Multiplier) { return Multiplicand * Multiplier; }

UINT64 DivU64x32Remainder(UINT64 Dividend, UINT32 Divisor, UINT32 *Remainder) {
  if (Remainder != nullptr) {
    *Remainder = (UINT32)(Dividend % Divisor);
  }
  return Dividend / Divisor;
}
