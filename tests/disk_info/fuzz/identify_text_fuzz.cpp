// The identity text rules on any IDENTIFY and Identify Controller bytes: the text stays
// inside its 41 units, is terminated, trimmed and printable.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<UINT8> identify(NVME_IDENTIFY_SIZE, 0);
  std::memcpy(identify.data(), data, size < identify.size() ? size : identify.size());
  for (UINTN selector : {UINTN{0}, UINTN{1}}) {
    CHAR16 text[DRIVE_TEXT_UNITS + 8];
    for (CHAR16 &unit : text) unit = 0xBEEF;
    AtaTextRule(identify.data(), selector, text);
    UINTN length = 0;
    while (length < DRIVE_TEXT_UNITS && text[length] != 0) ++length;
    if (length == DRIVE_TEXT_UNITS) std::abort();  // no terminator inside the destination
    for (UINTN index = DRIVE_TEXT_UNITS; index < DRIVE_TEXT_UNITS + 8; ++index) {
      if (text[index] != 0xBEEF) std::abort();
    }
    for (UINTN index = 0; index < length; ++index) {
      if (text[index] < 0x20 || text[index] > 0x7E) std::abort();
    }
    // Trimmed before sanitising: a blank may end the text only where a control character stood.
    if (length > 0 && text[0] == u' ') {
      const UINTN field = selector == 1 ? 54 : 20;
      bool control = false;
      for (UINTN index = 0; index < (selector == 1 ? 40u : 20u); ++index) {
        const UINT8 byte = identify[field + index];
        control |= byte != 0 && (byte < 0x20 || byte > 0x7E);
      }
      if (!control) std::abort();
    }
  }
  NvmeDriveRecord record;
  std::memset(&record, 0xEE, sizeof(record));
  NvmeTextRule(identify.data(), &record);
  if (StrLen(record.ModelName) > 40 || StrLen(record.SerialNumber) > 20) std::abort();
  return 0;
}
