// Post codes: the post-code port, CMOS bank 2 index 0x6A, and a trace-hub text mirror.
#pragma once

#include "runtime/uefi/types.h"

// Returns the code. Callers check PostCodeReportingEnabled first.
UINT32 EmitPostCode(UINT32 Code);
BOOLEAN PostCodeReportingEnabled(VOID);
