// Digit generation for the integer directives. Each base has its own loop with a
// constant divisor, so no hardware divide is left: decimal takes two digits per
// step from a pair table and drops to 32-bit arithmetic as soon as the value
// fits; hexadecimal takes a nibble per step by shifting.
#include "runtime/print/format_internal.h"

namespace {

constexpr CHAR8 kHexDigits[17] = "0123456789ABCDEF";

// "00" "01" ... "99": the two decimal digits of every value below 100.
constexpr CHAR8 kDecimalPairs[201] = "00010203040506070809"
                                     "10111213141516171819"
                                     "20212223242526272829"
                                     "30313233343536373839"
                                     "40414243444546474849"
                                     "50515253545556575859"
                                     "60616263646566676869"
                                     "70717273747576777879"
                                     "80818283848586878889"
                                     "90919293949596979899";

inline CHAR8 *PutPair(CHAR8 *Position, UINT32 Pair) {
  Position -= 2;
  Position[0] = kDecimalPairs[Pair * 2];
  Position[1] = kDecimalPairs[Pair * 2 + 1];
  return Position;
}

}  // namespace

UINT32 FormatDecimalDigits(UINT64 Value, CHAR8 *End) {
  CHAR8 *Position = End;
  // Above 32 bits every step is a 64-bit multiply by the reciprocal of 100.
  while (Value > 0xFFFFFFFFull) {
    UINT64 Quotient = Value / 100;
    Position = PutPair(Position, (UINT32)(Value - Quotient * 100));
    Value = Quotient;
  }
  UINT32 Small = (UINT32)Value;
  while (Small >= 100) {
    UINT32 Quotient = Small / 100;
    Position = PutPair(Position, Small - Quotient * 100);
    Small = Quotient;
  }
  if (Small >= 10) {
    Position = PutPair(Position, Small);
  } else {
    *--Position = (CHAR8)('0' + Small);
  }
  return (UINT32)(End - Position);
}

UINT32 FormatHexDigits(UINT64 Value, CHAR8 *End) {
  CHAR8 *Position = End;
  do {
    *--Position = kHexDigits[Value & 0xF];
    Value >>= 4;
  } while (Value != 0);
  return (UINT32)(End - Position);
}
