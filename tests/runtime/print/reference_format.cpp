// Frozen copy of the print engine before its fast paths (see reference_format.h).
// The status names are shared with the live engine: that table is not part of the change.
#include "tests/runtime/print/reference_format.h"

#include "runtime/print/format.h"

// The live engine's name lookup.
CONST CHAR8 *FormatStatusName(EFI_STATUS Status);

namespace reference_print {

// Per-directive flags. The two caller mode bits keep their public values so a
// mode can be or-ed straight in.
#define FMT_LEFT_JUSTIFY 0x0001u
#define FMT_SHOW_SIGN 0x0002u
#define FMT_BLANK_SIGN 0x0004u
#define FMT_GROUPING 0x0008u
#define FMT_LONG 0x0010u
#define FMT_ZERO_FILL 0x0020u
#define FMT_UCS2_OUTPUT FORMAT_UCS2_OUTPUT
#define FMT_HEX 0x0080u
#define FMT_UCS2_FORMAT FORMAT_UCS2_FORMAT
#define FMT_WIDTH_GIVEN 0x0200u
#define FMT_UCS2_ARGUMENT 0x0400u
#define FMT_PRECISION_GIVEN 0x0800u
#define FMT_UNSIGNED 0x1000u

// The engine builds GUID, time and fallback status texts in a scratch buffer
// of this many characters through FormatWithFlags.
#define FORMAT_SCRATCH_CHARS 38u

// Where emitted characters go. Characters past the last text position are
// dropped; the position never moves back, so once full it stays full.
struct FormatSink {
  UINT8 *Buffer;
  UINTN Count;  // characters written so far
  UINTN Limit;  // characters of text that fit (buffer size - 1)
  BOOLEAN Ucs2; // two bytes per character, little-endian
};

inline BOOLEAN SinkFull(CONST FormatSink *Sink) { return Sink->Count >= Sink->Limit; }

// Stores the raw NUL-or-text character at the current position without a limit check.
inline void SinkStore(FormatSink *Sink, UINT16 Ch) {
  if (Sink->Ucs2) {
    Sink->Buffer[Sink->Count * 2] = (UINT8)(Ch & 0xFF);
    Sink->Buffer[Sink->Count * 2 + 1] = (UINT8)(Ch >> 8);
  } else {
    Sink->Buffer[Sink->Count] = (UINT8)(Ch & 0xFF);
  }
}

inline void SinkPut(FormatSink *Sink, UINT16 Ch) {
  if (!SinkFull(Sink)) {
    SinkStore(Sink, Ch);
    Sink->Count++;
  }
}

// Count may be far beyond the buffer (a width from "*"); stop once full.
inline void SinkRepeat(FormatSink *Sink, UINT16 Ch, UINT64 Count) {
  for (UINT64 I = 0; I < Count && !SinkFull(Sink); I++) {
    SinkPut(Sink, Ch);
  }
}

// Reads character Index of an 8-bit or 16-bit string, bytewise so that an odd
// address is harmless.
inline UINT16 TextUnit(CONST VOID *Text, BOOLEAN Ucs2, UINT64 Index) {
  CONST UINT8 *Bytes = (CONST UINT8 *)Text;
  if (Ucs2) {
    return (UINT16)(Bytes[Index * 2] | ((UINT16)Bytes[Index * 2 + 1] << 8));
  }
  return Bytes[Index];
}

// Length of a NUL-terminated text, reading no further than Max characters.
inline UINT64 TextLength(CONST VOID *Text, BOOLEAN Ucs2, UINT64 Max) {
  UINT64 Length = 0;
  while (Length < Max && TextUnit(Text, Ucs2, Length) != 0) {
    Length++;
  }
  return Length;
}

// Integer conversion: digits least significant first, the prefix and the
// layout numbers that emission needs.
struct FormatInteger {
  CHAR8 Digits[64]; // a 64-bit value has at most 20 decimal or 16 hex digits
  UINT32 DigitCount;
  CHAR8 Prefix;     // 0, '+', ' ' or '-'
  UINT64 Length;    // digits + separators + prefix
  UINT64 Precision; // minimum characters from the prefix on
};

// Converts Slot for directive Directive ('d', 'u', 'x', 'X' or 'p'); Flags and
// Precision are the directive's state and are updated by the directive's rules.
void FormatConvertInteger(CHAR8 Directive, UINT64 Slot, UINT32 *Flags, UINT64 Precision, UINT64 Width,
                          FormatInteger *Out);

// Emits a converted integer's prefix, zero fill and digits (P = the larger of
// precision and length).
void FormatEmitIntegerBody(FormatSink *Sink, CONST FormatInteger *Integer, UINT32 Flags, UINT64 FieldLength);

// Texts built by the engine calling itself; each writes an ASCII text into
// Scratch (FORMAT_SCRATCH_CHARS characters) and returns Scratch or a placeholder.
CONST CHAR8 *FormatGuidText(CONST EFI_GUID *Guid, CHAR8 *Scratch);
CONST CHAR8 *FormatTimeText(CONST EFI_TIME *Time, CHAR8 *Scratch);
CONST CHAR8 *FormatStatusText(EFI_STATUS Status, CHAR8 *Scratch);

// Integer directives: value selection, sign prefix, digits and the layout
// numbers (length and precision) for d, u, x, X and p.

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
// GUID, time and status texts. The engine formats them with itself into the
// caller's stack scratch, so no table of hex or date code is duplicated here.

namespace {

constexpr CHAR8 kGuidFormat[] = "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x";
constexpr CHAR8 kTimeFormat[] = "%02d/%02d/%04d  %02d:%02d";
constexpr CHAR8 kStatusFallbackFormat[] = "%08X";
constexpr CHAR8 kNullGuid[] = "<null guid>";
constexpr CHAR8 kNullTime[] = "<null time>";

} // namespace

// Every argument goes through the variable list as a full 64-bit slot.
CONST CHAR8 *FormatGuidText(CONST EFI_GUID *Guid, CHAR8 *Scratch) {
  if (Guid == nullptr) {
    return kNullGuid;
  }
  FormatWithFlags(Scratch, FORMAT_SCRATCH_CHARS, 0, kGuidFormat, (UINT64)Guid->Data1, (UINT64)Guid->Data2,
                  (UINT64)Guid->Data3, (UINT64)Guid->Data4[0], (UINT64)Guid->Data4[1], (UINT64)Guid->Data4[2],
                  (UINT64)Guid->Data4[3], (UINT64)Guid->Data4[4], (UINT64)Guid->Data4[5], (UINT64)Guid->Data4[6],
                  (UINT64)Guid->Data4[7]);
  return Scratch;
}

CONST CHAR8 *FormatTimeText(CONST EFI_TIME *Time, CHAR8 *Scratch) {
  if (Time == nullptr) {
    return kNullTime;
  }
  FormatWithFlags(Scratch, FORMAT_SCRATCH_CHARS, 0, kTimeFormat, (UINT64)Time->Month, (UINT64)Time->Day,
                  (UINT64)Time->Year, (UINT64)Time->Hour, (UINT64)Time->Minute);
  return Scratch;
}

CONST CHAR8 *FormatStatusText(EFI_STATUS Status, CHAR8 *Scratch) {
  CONST CHAR8 *Name = FormatStatusName(Status);
  if (Name != nullptr) {
    return Name;
  }
  // Without the 64-bit flag the engine prints the low 32 bits.
  FormatWithFlags(Scratch, FORMAT_SCRATCH_CHARS, 0, kStatusFallbackFormat, (UINT64)Status);
  return Scratch;
}
// The engine's main loop: reads the format, parses each directive into an
// argument text and its layout, and emits it through the sink.

namespace {

constexpr CHAR8 kNullString[] = "<null string>";
constexpr CHAR8 kCrLf[] = "\r\n";
constexpr CHAR8 kCr[] = "\r";
constexpr UINT64 kUnbounded = ~(UINT64)0;

enum class TextKind { Integer, String, Other };

// Line ends are normalised to "\r\n" whichever order the format gives them
// in; Index is left on the last format character consumed.
CONST CHAR8 *LineEndText(CONST VOID *Format, BOOLEAN FormatUcs2, UINT64 *Index, UINT16 Ch) {
  UINT16 Next = TextUnit(Format, FormatUcs2, *Index + 1);
  if (Ch == '\n') {
    if (Next == '\r') {
      (*Index)++;
    }
    return kCrLf;
  }
  if (Next == '\n') {
    (*Index)++;
    return kCrLf;
  }
  return kCr;
}

// Reads a run of decimal digits starting at *Index; wraps silently on overflow.
UINT64 ReadNumber(CONST VOID *Format, BOOLEAN FormatUcs2, UINT64 *Index) {
  UINT64 Value = 0;
  for (;;) {
    UINT16 Ch = TextUnit(Format, FormatUcs2, *Index);
    if (Ch < '0' || Ch > '9') {
      return Value;
    }
    Value = Value * 10 + (UINT64)(Ch - '0');
    (*Index)++;
  }
}

} // namespace

UINTN FormatCore(VOID *Buffer, UINTN BufferSize, UINTN Mode, CONST VOID *Format, va_list Args) {
  // A null buffer cannot take even the NUL; a null format gives empty text.
  if (BufferSize == 0 || Buffer == nullptr) {
    return 0;
  }
  FormatSink Sink = {(UINT8 *)Buffer, 0, BufferSize - 1, (BOOLEAN)((Mode & FORMAT_UCS2_OUTPUT) != 0)};
  CONST UINT32 ModeFlags = (UINT32)(Mode & (FORMAT_UCS2_OUTPUT | FORMAT_UCS2_FORMAT));
  CONST BOOLEAN FormatUcs2 = (Mode & FORMAT_UCS2_FORMAT) != 0;

  UINT64 I = 0;
  BOOLEAN Ended = Format == nullptr;
  while (!Ended && !SinkFull(&Sink)) {
    UINT16 Ch = TextUnit(Format, FormatUcs2, I);
    if (Ch == 0) {
      break;
    }

    UINT32 Flags = ModeFlags;
    UINT64 Width = 0;
    UINT64 Precision = 1;
    TextKind Kind = TextKind::Other;
    CONST VOID *Text = nullptr;
    CHAR16 CharText[2];
    CHAR8 Scratch[FORMAT_SCRATCH_CHARS];
    FormatInteger Integer;

    if (Ch == '%') {
      I++;
      for (BOOLEAN InFlags = TRUE; InFlags;) {
        Ch = TextUnit(Format, FormatUcs2, I);
        switch (Ch) {
        case ' ':
          Flags |= FMT_BLANK_SIGN;
          I++;
          break;
        case '+':
          Flags |= FMT_SHOW_SIGN;
          I++;
          break;
        case ',':
          Flags |= FMT_GROUPING;
          I++;
          break;
        case '-':
          Flags |= FMT_LEFT_JUSTIFY;
          I++;
          break;
        case '.':
          Flags |= FMT_PRECISION_GIVEN;
          I++;
          break;
        case 'l':
        case 'L':
          Flags |= FMT_LONG;
          I++;
          break;
        case '*': {
          UINT64 Value = va_arg(Args, UINT64);
          if (Flags & FMT_PRECISION_GIVEN) {
            Precision = Value;
          } else {
            Width = Value;
            Flags |= FMT_WIDTH_GIVEN;
          }
          I++;
          break;
        }
        case '0':
          // Before a "." a zero is the zero-fill flag; after it, it starts the precision.
          if ((Flags & FMT_PRECISION_GIVEN) == 0) {
            Flags |= FMT_ZERO_FILL;
            I++;
            break;
          }
          [[fallthrough]];
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': {
          UINT64 Value = ReadNumber(Format, FormatUcs2, &I);
          if (Flags & FMT_PRECISION_GIVEN) {
            Precision = Value;
          } else {
            Width = Value;
            Flags |= FMT_WIDTH_GIVEN;
          }
          break;
        }
        default:
          InFlags = FALSE;
          break;
        }
      }

      switch (Ch) {
      case 0:
        // A format ending inside a directive ends there.
        Ended = TRUE;
        continue;
      case 'd':
      case 'u':
      case 'x':
      case 'X':
      case 'p':
        Kind = TextKind::Integer;
        FormatConvertInteger((CHAR8)Ch, va_arg(Args, UINT64), &Flags, Precision, Width, &Integer);
        break;
      case 'a':
      case 's':
      case 'S':
        Kind = TextKind::String;
        Text = (CONST VOID *)(UINTN)va_arg(Args, UINT64);
        if (Ch != 'a') {
          Flags |= FMT_UCS2_ARGUMENT;
        }
        if (Text == nullptr) {
          Text = kNullString;
          Flags &= ~FMT_UCS2_ARGUMENT;
        }
        break;
      case 'c':
        CharText[0] = (CHAR16)(va_arg(Args, UINT64) & 0xFFFF);
        CharText[1] = 0;
        Text = CharText;
        Flags |= FMT_UCS2_ARGUMENT;
        break;
      case 'g':
        Text = FormatGuidText((CONST EFI_GUID *)(UINTN)va_arg(Args, UINT64), Scratch);
        break;
      case 't':
        Text = FormatTimeText((CONST EFI_TIME *)(UINTN)va_arg(Args, UINT64), Scratch);
        break;
      case 'r':
        Text = FormatStatusText((EFI_STATUS)va_arg(Args, UINT64), Scratch);
        break;
      case '\n':
      case '\r':
        Text = LineEndText(Format, FormatUcs2, &I, Ch);
        break;
      default:
        CharText[0] = Ch;
        CharText[1] = 0;
        Text = CharText;
        Flags |= FMT_UCS2_ARGUMENT;
        break;
      }
    } else if (Ch == '\n' || Ch == '\r') {
      Text = LineEndText(Format, FormatUcs2, &I, Ch);
    } else {
      CharText[0] = Ch;
      CharText[1] = 0;
      Text = CharText;
      Flags |= FMT_UCS2_ARGUMENT;
    }
    I++;

    CONST BOOLEAN TextUcs2 = (Flags & FMT_UCS2_ARGUMENT) != 0;
    UINT64 Length;
    switch (Kind) {
    case TextKind::Integer:
      Precision = Integer.Precision;
      Length = Integer.Length;
      break;
    case TextKind::String:
      // A precision limits how much of the string is read as well as printed.
      if (Flags & FMT_PRECISION_GIVEN) {
        Length = TextLength(Text, TextUcs2, Precision);
      } else {
        Precision = 0;
        Length = TextLength(Text, TextUcs2, kUnbounded);
      }
      break;
    default:
      // Single characters and built texts ignore any precision: they print whole.
      Precision = 1;
      Length = TextLength(Text, TextUcs2, kUnbounded);
      break;
    }

    CONST UINT64 Field = Precision > Length ? Precision : Length;
    if ((Flags & (FMT_WIDTH_GIVEN | FMT_LEFT_JUSTIFY)) == FMT_WIDTH_GIVEN && Width > Field) {
      SinkRepeat(&Sink, ' ', Width - Field);
    }
    if (Kind == TextKind::Integer) {
      FormatEmitIntegerBody(&Sink, &Integer, Flags, Field);
    } else {
      SinkRepeat(&Sink, ' ', Field - Length);
      for (UINT64 K = 0; K < Length && !SinkFull(&Sink); K++) {
        SinkPut(&Sink, TextUnit(Text, TextUcs2, K));
      }
    }
    if ((Flags & (FMT_WIDTH_GIVEN | FMT_LEFT_JUSTIFY)) == (FMT_WIDTH_GIVEN | FMT_LEFT_JUSTIFY) && Width > Field) {
      SinkRepeat(&Sink, ' ', Width - Field);
    }
  }

  SinkStore(&Sink, 0);
  return Sink.Count;
}

UINTN FormatWithFlags(VOID *Buffer, UINTN BufferSize, UINTN Mode, CONST VOID *Format, ...) {
  va_list Args;
  va_start(Args, Format);
  UINTN Count = FormatCore(Buffer, BufferSize, Mode, Format, Args);
  va_end(Args);
  return Count;
}

} // namespace reference_print
