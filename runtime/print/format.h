// Formatted print engine: one routine that writes ASCII or UCS-2 text from an
// ASCII or UCS-2 format. Pure code, no allocation; called only inside the
// image it is linked into, so it keeps the default calling convention.
#pragma once

#include <stdarg.h>

#include "runtime/uefi/types.h"

// Caller mode bits. Every other bit of the mode argument is ignored.
#define FORMAT_UCS2_OUTPUT 0x40u
#define FORMAT_UCS2_FORMAT 0x100u

// Writes at most BufferSize - 1 characters of the output width plus a NUL and
// returns the number of characters written before the NUL. BufferSize counts
// characters of the output width. Each argument is read as one 64-bit slot.
UINTN FormatCore(VOID *Buffer, UINTN BufferSize, UINTN Mode, CONST VOID *Format, va_list Args);

// ASCII format to ASCII output; BufferSize in characters.
UINTN FormatAscii(CHAR8 *Buffer, UINTN BufferSize, CONST CHAR8 *Format, ...);

// UCS-2 format to UCS-2 output; BufferSize in bytes.
UINTN FormatUcs2(CHAR16 *Buffer, UINTN BufferSize, CONST CHAR16 *Format, ...);

// Any combination of the mode bits; BufferSize in characters of the output width.
UINTN FormatWithFlags(VOID *Buffer, UINTN BufferSize, UINTN Mode, CONST VOID *Format, ...);
