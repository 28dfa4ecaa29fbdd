// Pieces shared by the print engine's source files; not for callers.
#pragma once

#include "runtime/print/format.h"

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
  UINTN Count;   // characters written so far
  UINTN Limit;   // characters of text that fit (buffer size - 1)
  BOOLEAN Ucs2;  // two bytes per character, little-endian
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

// Characters that still fit before the end position.
inline UINTN SinkRoom(CONST FormatSink *Sink) { return SinkFull(Sink) ? 0 : Sink->Limit - Sink->Count; }

// Count may be far beyond the buffer (a width from "*"); stop once full.
inline void SinkRepeat(FormatSink *Sink, UINT16 Ch, UINT64 Count) {
  for (UINT64 I = 0; I < Count && !SinkFull(Sink); I++) {
    SinkPut(Sink, Ch);
  }
}

// Emits Length ASCII characters in one step, cut at the end position.
inline void SinkWriteAscii(FormatSink *Sink, CONST CHAR8 *Text, UINT64 Length) {
  UINTN Room = SinkRoom(Sink);
  UINTN Count = Length < Room ? (UINTN)Length : Room;
  UINT8 *Out = Sink->Buffer;
  if (Sink->Ucs2) {
    Out += Sink->Count * 2;
    for (UINTN I = 0; I < Count; I++) {
      Out[I * 2] = (UINT8)Text[I];
      Out[I * 2 + 1] = 0;
    }
  } else {
    Out += Sink->Count;
    for (UINTN I = 0; I < Count; I++) {
      Out[I] = (UINT8)Text[I];
    }
  }
  Sink->Count += Count;
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

// A 64-bit value has at most 20 decimal or 16 hexadecimal digits.
#define FORMAT_INTEGER_DIGITS 20u

// Integer conversion: the digits, most significant first, at the end of
// Digits; the prefix and the layout numbers that emission needs.
struct FormatInteger {
  CHAR8 Digits[FORMAT_INTEGER_DIGITS];
  UINT32 DigitCount;  // the digits are Digits[FORMAT_INTEGER_DIGITS - DigitCount] onwards
  CHAR8 Prefix;       // 0, '+', ' ' or '-'
  UINT64 Length;      // digits + separators + prefix
  UINT64 Precision;   // minimum characters from the prefix on
};

// Digit generators: write the digits of Value so that the last one lands just
// before End, and return how many they wrote (at least one).
UINT32 FormatDecimalDigits(UINT64 Value, CHAR8 *End);
UINT32 FormatHexDigits(UINT64 Value, CHAR8 *End);

// Copies the literal text that starts at format character Index, up to the next
// "%", line end or NUL, in one step; stops early once the output is full.
// Returns the number of format characters consumed.
UINT64 FormatCopyLiteralRun(FormatSink *Sink, CONST VOID *Format, BOOLEAN FormatUcs2, UINT64 Index);

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

// The status name for Status, or null when the fallback hexadecimal applies.
CONST CHAR8 *FormatStatusName(EFI_STATUS Status);
