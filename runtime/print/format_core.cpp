// The engine's main loop: reads the format, copies literal runs straight
// through, parses each directive into an argument text and its layout, and
// emits it through the sink.
#include "runtime/print/format_internal.h"

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

}  // namespace

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
    if (Ch != '%' && Ch != '\n' && Ch != '\r') {
      // Plain text needs no layout: the whole run goes out at once.
      I += FormatCopyLiteralRun(&Sink, Format, FormatUcs2, I);
      continue;
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
          default: InFlags = FALSE; break;
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
        case 'g': Text = FormatGuidText((CONST EFI_GUID *)(UINTN)va_arg(Args, UINT64), Scratch); break;
        case 't': Text = FormatTimeText((CONST EFI_TIME *)(UINTN)va_arg(Args, UINT64), Scratch); break;
        case 'r': Text = FormatStatusText((EFI_STATUS)va_arg(Args, UINT64), Scratch); break;
        case '\n':
        case '\r': Text = LineEndText(Format, FormatUcs2, &I, Ch); break;
        default:
          CharText[0] = Ch;
          CharText[1] = 0;
          Text = CharText;
          Flags |= FMT_UCS2_ARGUMENT;
          break;
      }
    } else {
      // Outside a directive only line ends get here.
      Text = LineEndText(Format, FormatUcs2, &I, Ch);
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
      if (TextUcs2) {
        for (UINT64 K = 0; K < Length && !SinkFull(&Sink); K++) {
          SinkPut(&Sink, TextUnit(Text, TRUE, K));
        }
      } else {
        SinkWriteAscii(&Sink, (CONST CHAR8 *)Text, Length);
      }
    }
    if ((Flags & (FMT_WIDTH_GIVEN | FMT_LEFT_JUSTIFY)) == (FMT_WIDTH_GIVEN | FMT_LEFT_JUSTIFY) && Width > Field) {
      SinkRepeat(&Sink, ' ', Width - Field);
    }
  }

  SinkStore(&Sink, 0);
  return Sink.Count;
}
