#include "platform_sim/report/power_event_log_report.h"

#include <cstdio>
#include <cstring>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/platform.h"

namespace sim {

namespace {
constexpr uint64_t kLogOffset = 0x1300;
constexpr size_t kLogSize = 512;
constexpr unsigned kSlots = 62;
}  // namespace

DecodedPowerEventLog DecodePowerEventLog(const std::vector<uint8_t> &record) {
  DecodedPowerEventLog log;
  if (record.size() < kLogSize) return log;
  for (size_t index = 0; index < 8; ++index) {
    char c = static_cast<char>(record[index]);
    log.signature += (c >= 0x20 && c < 0x7F) ? c : '.';
  }
  log.provisioned = std::memcmp(record.data(), "KOVAPLOG", 8) == 0;
  std::memcpy(&log.freeMap, record.data() + 8, 8);
  for (unsigned slot = 0; slot < kSlots; ++slot) {
    if (log.freeMap & (1ull << slot)) continue;
    const uint8_t *bytes = record.data() + 16 + 8 * slot;
    log.used.push_back(PowerEventEntry{slot, bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6]});
  }
  return log;
}

std::string PowerEventName(uint8_t event) {
  switch (event) {
    case 0: return "driver start";
    case 3: return "S3 entry";
    case 4: return "S4 entry";
    case 5: return "S5 entry";
    default: {
      char text[16];
      std::snprintf(text, sizeof(text), "event 0x%02X", event);
      return text;
    }
  }
}

void WritePowerEventLog(std::ostream &out, Platform &platform) {
  if (!platform.Flash().Present()) return;
  DecodedPowerEventLog log = DecodePowerEventLog(platform.Flash().Peek(kTagStoreBase + kLogOffset, kLogSize));
  char text[96];
  std::snprintf(text, sizeof(text), "Power-event log \"PLOG\": signature \"%s\"%s, free map 0x%016llX, %zu of %u slots used\n",
                log.signature.c_str(), log.provisioned ? "" : " (not provisioned)",
                static_cast<unsigned long long>(log.freeMap), log.used.size(), kSlots);
  out << text;
  for (const PowerEventEntry &entry : log.used) {
    std::snprintf(text, sizeof(text), "  slot %2u: 20%02u-%02u-%02u %02u:%02u:%02u  %s\n", entry.slot, entry.year,
                  entry.month, entry.day, entry.hour, entry.minute, entry.second, PowerEventName(entry.event).c_str());
    out << text;
  }
}

}  // namespace sim
