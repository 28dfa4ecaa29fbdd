// The print engine as it stood before its fast paths: a frozen copy, kept in the
// test tree only, so that the differential test can compare old and new output
// byte for byte over generated formats. Not linked into any image.
#pragma once

#include <stdarg.h>

#include "runtime/uefi/types.h"

namespace reference_print {

UINTN FormatCore(VOID *Buffer, UINTN BufferSize, UINTN Mode, CONST VOID *Format, va_list Args);
UINTN FormatWithFlags(VOID *Buffer, UINTN BufferSize, UINTN Mode, CONST VOID *Format, ...);

} // namespace reference_print
