// Trace-hub text messages: one MIPI SyS-T string message per call, written through the
// platform trace hub's software-trace channel window.
#pragma once

#include "runtime/uefi/types.h"

// Sends Length bytes of Text (no NUL) as one message with the given severity (its low
// three bits are sent). When LengthFollows is non-zero the message carries its 16-bit
// text length. A message carries at most 0xFFFF text bytes; longer text is cut there so
// that the length field stays true.
// Returns EFI_SUCCESS whether or not the hub took the message (output never fails its
// caller), and EFI_INVALID_PARAMETER, sending nothing, for a null Text with a non-zero
// Length.
EFI_STATUS TraceHubWriteText(UINT32 Severity, CONST CHAR8 *Text, UINTN Length, BOOLEAN LengthFollows);
