// Integer directives: value selection, sign prefix, digits and the layout
// numbers (length and precision) for d, u, x, X and p.
#include "runtime/print/format_internal.h"

namespace {

constexpr CHAR8 kDigitChars[17] = "0123456789ABCDEF";

} // namespace

void FormatConvertInteger(CHAR8 Directive, UINT64 Slot, UINT32 *Flags, UINT64 Precision, UINT64 Width,
                          FormatInteger *Out) {
  UINT32 F = *Flags;
  switch (Directive) {
  case 'u':
    F |= FMT_UNSIGNED;
    F &= ~FMT_SHOW_SIGN;
    break;
  case 'x':
    F |= FMT_HEX | FMT_UNSIGNED;
    break;
  case 'X':
    F |= FMT_HEX | FMT_UNSIGNED | FMT_ZERO_FILL;
    break;
  case 'p':
    F &= ~(FMT_SHOW_SIGN | FMT_BLANK_SIGN | FMT_ZERO_FILL | FMT_LONG);
    F |= FMT_HEX | FMT_UNSIGNED | FMT_LONG | FMT_ZERO_FILL;
    break;
  default: // 'd'
    break;
  }

  BOOLEAN Signed = Directive == 'd';
  UINT64 Value = Slot;
  if ((F & FMT_LONG) == 0) {
    Value = Signed ? (UINT64)(INT64)(INT32)(UINT32)Slot : (UINT64)(UINT32)Slot;
  }

  CHAR8 Prefix = 0;
  if (F & FMT_SHOW_SIGN) {
    Prefix = '+';
  } else if (F & FMT_BLANK_SIGN) {
    Prefix = ' ';
  }

  UINT64 Base = 16;
  if ((F & FMT_HEX) == 0) {
    Base = 10;
    if (F & FMT_GROUPING) {
      Precision = 1;
      F &= ~FMT_ZERO_FILL;
    }
    if (Signed && (INT64)Value < 0) {
      // Unsigned negation also gives the right magnitude for the most negative value.
      Value = 0 - Value;
      Prefix = '-';
    }
  } else {
    F &= ~FMT_GROUPING;
  }

  UINT32 Count = 0;
  if (!(Value == 0 && Precision == 0)) {
    do {
      Out->Digits[Count++] = kDigitChars[Value % Base];
      Value /= Base;
    } while (Value != 0);
  }

  UINT64 Length = Count;
  if ((F & FMT_GROUPING) && Count > 0) {
    Length += (Count - 1) / 3;
  }
  if (Prefix != 0) {
    Length++;
    Precision++;
  }
  if ((F & FMT_ZERO_FILL) && (F & FMT_WIDTH_GIVEN) && (F & (FMT_PRECISION_GIVEN | FMT_LEFT_JUSTIFY)) == 0) {
    Precision = Width;
  }

  Out->DigitCount = Count;
  Out->Prefix = Prefix;
  Out->Length = Length;
  Out->Precision = Precision;
  *Flags = F;
}

void FormatEmitIntegerBody(FormatSink *Sink, CONST FormatInteger *Integer, UINT32 Flags, UINT64 FieldLength) {
  if (Integer->Prefix != 0) {
    SinkPut(Sink, (UINT8)Integer->Prefix);
  }
  SinkRepeat(Sink, '0', FieldLength - Integer->Length);
  for (UINT32 I = Integer->DigitCount; I > 0; I--) {
    SinkPut(Sink, (UINT8)Integer->Digits[I - 1]);
    // A separator follows every third digit counted from the right.
    if ((Flags & FMT_GROUPING) && I - 1 > 0 && (I - 1) % 3 == 0) {
      SinkPut(Sink, ',');
    }
  }
}
