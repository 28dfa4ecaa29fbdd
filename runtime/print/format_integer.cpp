// Integer directives: value selection, sign prefix, digits and the layout
// numbers (length and precision) for d, u, x, X and p.
#include "runtime/print/format_internal.h"

void FormatConvertInteger(CHAR8 Directive, UINT64 Slot, UINT32 *Flags, UINT64 Precision, UINT64 Width,
                          FormatInteger *Out) {
  UINT32 F = *Flags;
  switch (Directive) {
    case 'u':
      F |= FMT_UNSIGNED;
      F &= ~FMT_SHOW_SIGN;
      break;
    case 'x': F |= FMT_HEX | FMT_UNSIGNED; break;
    case 'X': F |= FMT_HEX | FMT_UNSIGNED | FMT_ZERO_FILL; break;
    case 'p':
      F &= ~(FMT_SHOW_SIGN | FMT_BLANK_SIGN | FMT_ZERO_FILL | FMT_LONG);
      F |= FMT_HEX | FMT_UNSIGNED | FMT_LONG | FMT_ZERO_FILL;
      break;
    default:  // 'd'
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

  if ((F & FMT_HEX) == 0) {
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
    CHAR8 *End = Out->Digits + FORMAT_INTEGER_DIGITS;
    Count = (F & FMT_HEX) ? FormatHexDigits(Value, End) : FormatDecimalDigits(Value, End);
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
  CONST CHAR8 *Digits = Integer->Digits + FORMAT_INTEGER_DIGITS - Integer->DigitCount;
  if ((Flags & FMT_GROUPING) == 0) {
    SinkWriteAscii(Sink, Digits, Integer->DigitCount);
    return;
  }
  for (UINT32 Left = Integer->DigitCount; Left > 0; Left--) {
    SinkPut(Sink, (UINT8)*Digits++);
    // A separator follows every third digit counted from the right.
    if (Left - 1 > 0 && (Left - 1) % 3 == 0) {
      SinkPut(Sink, ',');
    }
  }
}
