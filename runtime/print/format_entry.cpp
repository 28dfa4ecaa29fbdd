// Variable-argument front ends of FormatCore.
#include "runtime/print/format_internal.h"

UINTN FormatAscii(CHAR8 *Buffer, UINTN BufferSize, CONST CHAR8 *Format, ...) {
  va_list Args;
  va_start(Args, Format);
  UINTN Count = FormatCore(Buffer, BufferSize, 0, Format, Args);
  va_end(Args);
  return Count;
}

UINTN FormatUcs2(CHAR16 *Buffer, UINTN BufferSize, CONST CHAR16 *Format, ...) {
  va_list Args;
  va_start(Args, Format);
  // The size arrives in bytes; an odd trailing byte holds no character.
  UINTN Count = FormatCore(Buffer, BufferSize / 2, FORMAT_UCS2_OUTPUT | FORMAT_UCS2_FORMAT, Format, Args);
  va_end(Args);
  return Count;
}

UINTN FormatWithFlags(VOID *Buffer, UINTN BufferSize, UINTN Mode, CONST VOID *Format, ...) {
  va_list Args;
  va_start(Args, Format);
  UINTN Count = FormatCore(Buffer, BufferSize, Mode, Format, Args);
  va_end(Args);
  return Count;
}
