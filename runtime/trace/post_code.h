// Post codes: the post-code port, CMOS bank 2 index 0x6A, and a trace-hub text mirror.
#pragma once

#include "runtime/uefi/types.h"

// Writes the code's low 16 bits to port 0x80, mirrors it as the trace-hub text
// "TraceHub : POSTCODE=<xx>" and keeps its low byte in CMOS bank 2 at 0x6A. Cannot fail
// and does not wait (the trace hub drops what it cannot take). Returns the code.
// Callers check PostCodeReportingEnabled first.
UINT32 EmitPostCode(UINT32 Code);
// Whether this image was built to report post codes.
BOOLEAN PostCodeReportingEnabled(VOID);
