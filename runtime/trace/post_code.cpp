// Post codes: the code goes to the post-code port, is mirrored as a trace-hub text
// message and is kept in CMOS for whoever looks after a hang.
#include "runtime/trace/post_code.h"

#include "runtime/base/cpu.h"
#include "runtime/print/format.h"
#include "runtime/trace/trace_hub.h"

// Build settings of the images that carry post codes.
#define POST_CODE_PORT 0x0080
#define POST_CODE_PROPERTIES 0x08u
#define POST_CODE_PROPERTY_ENABLED 0x08u
#define POST_CODE_TRACE_HUB_MIRROR 1
#define POST_CODE_TRACE_SEVERITY 2u
#define POST_CODE_TEXT_SIZE 200

#define POST_CODE_CMOS_INDEX_PORT 0x72
#define POST_CODE_CMOS_DATA_PORT 0x73
#define POST_CODE_CMOS_REGISTER 0x6A

BOOLEAN PostCodeReportingEnabled(VOID) { return (POST_CODE_PROPERTIES & POST_CODE_PROPERTY_ENABLED) != 0; }

UINT32 EmitPostCode(UINT32 Code) {
  IoWrite16(POST_CODE_PORT, (UINT16)Code);
  if (POST_CODE_TRACE_HUB_MIRROR != 0) {
    CHAR8 Text[POST_CODE_TEXT_SIZE];
    // The engine reads every argument as a 64-bit slot.
    UINTN Length = FormatAscii(Text, POST_CODE_TEXT_SIZE, "TraceHub : POSTCODE=<%02x>\n\r", (UINT64)Code);
    TraceHubWriteText(POST_CODE_TRACE_SEVERITY, Text, Length, TRUE);
  }
  IoWrite8(POST_CODE_CMOS_INDEX_PORT, POST_CODE_CMOS_REGISTER);
  IoWrite8(POST_CODE_CMOS_DATA_PORT, (UINT8)Code);
  return Code;
}
