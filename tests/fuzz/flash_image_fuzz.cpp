// The flash-image tool's decoding on arbitrary bytes: the tag store block of an image
// (its records sliced as the tool slices them), the "PLOG" record decoded, an event
// appended by the driver's rules and written back by NOR rules. Any bytes must decode
// without a crash or a sanitizer report, and every result must hold what the tool
// prints from it.
//
// Input: byte 0 the event, bytes 1-6 the time (year within the century, month, day,
// hour, minute, second), byte 7 the part (bit 0: image size, bit 1: erase block), then
// the tag store block from its first byte (the rest of the block erased).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/report/power_event_log_report.h"
#include "platform_sim/report/tag_store_records.h"
#include "tools/simulator/flash_file.h"

namespace {

constexpr size_t kHeader = 8;
constexpr uint64_t kBlock = 0x2000;  // the block the tag store erases

void Check(bool condition) {
  if (!condition) std::abort();
}

// What the tool prints for a record must be what the record holds.
void CheckDecoded(const std::vector<uint8_t> &record, const sim::DecodedPowerEventLog &log) {
  if (record.size() < 512) {
    Check(!log.provisioned && log.used.empty());
    return;
  }
  Check(log.signature.size() == 8);
  uint64_t freeMap = 0;
  std::memcpy(&freeMap, record.data() + 8, 8);
  Check(log.freeMap == freeMap);
  Check(log.used.size() == static_cast<size_t>(std::popcount(~freeMap & ((1ull << 62) - 1))));
  unsigned previous = 0;
  for (size_t index = 0; index < log.used.size(); ++index) {
    const sim::PowerEventEntry &entry = log.used[index];
    Check(entry.slot < sim::PowerEventLogSlots() && (index == 0 || entry.slot > previous));
    previous = entry.slot;
    const uint8_t *slot = record.data() + 16 + 8 * entry.slot;
    Check(entry.year == slot[0] && entry.month == slot[1] && entry.day == slot[2] && entry.hour == slot[3] &&
          entry.minute == slot[4] && entry.second == slot[5] && entry.event == slot[6]);
    Check(!sim::PowerEventTime(entry).empty() && !sim::PowerEventName(entry.event).empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < kHeader) return 0;
  const uint8_t event = data[0];
  sim::CalendarTime time{2000 + data[1] % 100, data[2], data[3], data[4], data[5], data[6]};
  const uint64_t imageSize = (data[7] & 1) ? 0x800000 : 0x1000000;
  const uint64_t eraseBlock = (data[7] & 2) ? 0x10000 : 0x1000;
  const std::vector<uint8_t> body(data + kHeader, data + size);

  // Any bytes as a record, of any length.
  CheckDecoded(body, sim::DecodePowerEventLog(body));

  // The image: erased, the block from the input. One buffer per size for the process;
  // only the window the input and the write touch is restored afterwards.
  static std::vector<uint8_t> images[2] = {std::vector<uint8_t>(0x800000, 0xFF), std::vector<uint8_t>(0x1000000, 0xFF)};
  std::vector<uint8_t> &image = images[imageSize == 0x800000 ? 0 : 1];
  const uint64_t base = simulator::FlashFileOffset(sim::kTagStoreBase, image.size());
  Check(base + kBlock <= image.size() && base % 0x10000 == 0);
  const size_t copied = body.size() < kBlock ? body.size() : kBlock;
  if (copied != 0) std::memcpy(image.data() + base, body.data(), copied);

  // Every record of the table as the tool slices it.
  Check(sim::TagStoreSpan() <= kBlock);
  for (const sim::TagStoreRecord &record : sim::TagStoreRecords()) {
    Check(record.offset + record.size <= sim::TagStoreSpan());
    Check(sim::FindTagStoreRecord(record.tag).has_value());
  }
  const sim::TagStoreRecord plog = *sim::FindTagStoreRecord("PLOG");
  const uint64_t at = base + plog.offset;
  std::vector<uint8_t> record(image.begin() + static_cast<long>(at), image.begin() + static_cast<long>(at + plog.size));
  const sim::DecodedPowerEventLog log = sim::DecodePowerEventLog(record);
  CheckDecoded(record, log);

  // The tool's "log add": appended by the driver's rules, or refused with a reason.
  std::vector<uint8_t> appended = record;
  std::string reason;
  const bool added = sim::AppendPowerEvent(appended, event, time, &reason);
  uint64_t freeMap = log.freeMap;
  const bool room = log.provisioned && ((~freeMap) >> 61) == 0;
  Check(added == room && added == reason.empty());
  if (added) {
    const sim::DecodedPowerEventLog after = sim::DecodePowerEventLog(appended);
    CheckDecoded(appended, after);
    Check(after.used.size() == log.used.size() + 1);
    const sim::PowerEventEntry &entry = after.used.back();
    Check(entry.event == event && entry.year == time.year % 100 && entry.month == data[2] && entry.second == data[6]);
    // Only the free map and the new slot's first seven bytes change.
    for (size_t index = 0; index < appended.size(); ++index) {
      const bool mayChange =
          (index >= 8 && index < 16) || (index >= 16 + 8 * entry.slot && index < 16 + 8 * entry.slot + 7);
      if (!mayChange) Check(appended[index] == record[index]);
    }
  } else {
    Check(appended == record);
  }

  // Written back as the tool writes it: the record takes the new bytes, nothing outside
  // the erase blocks it touches changes, and inside them only the record's bytes do.
  const uint64_t first = at / eraseBlock * eraseBlock;
  const uint64_t end = (at + plog.size + eraseBlock - 1) / eraseBlock * eraseBlock;
  const std::vector<uint8_t> window(image.begin() + static_cast<long>(first), image.begin() + static_cast<long>(end));
  const simulator::NorWrite done = simulator::WriteNor(image, at, appended, eraseBlock);
  Check(std::memcmp(image.data() + at, appended.data(), appended.size()) == 0);
  Check(std::memcmp(image.data() + first, window.data(), at - first) == 0);
  Check(std::memcmp(image.data() + at + plog.size, window.data() + (at + plog.size - first), end - at - plog.size) ==
        0);
  Check(done.erasedBlocks == 0 ? done.programmedBytes == appended.size()
                               : done.erasedBlocks == (end - first) / eraseBlock);

  // Back to erased for the next input.
  std::memset(image.data() + first, 0xFF, end - first);
  std::memset(image.data() + base, 0xFF, kBlock);
  return 0;
}
