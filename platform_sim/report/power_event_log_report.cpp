#include "platform_sim/report/power_event_log_report.h"

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/platform.h"
#include "platform_sim/report/tag_store_records.h"
#include "platform_sim/trace/hex_text.h"
#include "power_event_log/power_event_log.h"

namespace sim {

uint32_t PowerEventLogSlots() { return POWER_EVENT_LOG_SLOTS; }

std::string PowerEventLogTag() { return TagText(POWER_EVENT_LOG_TAG); }

DecodedPowerEventLog DecodePowerEventLog(const std::vector<uint8_t> &record) {
  DecodedPowerEventLog log;
  if (record.size() < sizeof(PowerEventLogRecord)) return log;
  PowerEventLogRecord stored;
  std::memcpy(&stored, record.data(), sizeof(stored));
  for (size_t index = 0; index < 8; ++index) {
    char c = static_cast<char>(record[index]);
    log.signature += (c >= 0x20 && c < 0x7F) ? c : '.';
  }
  log.provisioned = stored.Signature == POWER_EVENT_LOG_SIGNATURE;
  log.freeMap = stored.FreeMap;
  for (unsigned slot = 0; slot < POWER_EVENT_LOG_SLOTS; ++slot) {
    if (log.freeMap & (1ull << slot)) continue;
    const PowerEventSlot &s = stored.Slot[slot];
    log.used.push_back(PowerEventEntry{slot, s.Year, s.Month, s.Day, s.Hour, s.Minute, s.Second, s.Event});
  }
  return log;
}

std::string PowerEventName(uint8_t event) {
  switch (event) {
    case POWER_EVENT_DRIVER_START: return "driver start";
    case POWER_EVENT_S3_ENTRY: return "S3 entry";
    case POWER_EVENT_S4_ENTRY: return "S4 entry";
    case POWER_EVENT_S5_ENTRY: return "S5 entry";
    default: {
      char text[16];
      std::snprintf(text, sizeof(text), "event 0x%02X", event);
      return text;
    }
  }
}

std::optional<uint8_t> PowerEventFromName(const std::string &name) {
  if (name == "start") return POWER_EVENT_DRIVER_START;
  if (name == "s3" || name == "S3") return POWER_EVENT_S3_ENTRY;
  if (name == "s4" || name == "S4") return POWER_EVENT_S4_ENTRY;
  if (name == "s5" || name == "S5") return POWER_EVENT_S5_ENTRY;
  return std::nullopt;
}

std::string PowerEventTime(const PowerEventEntry &entry) {
  char text[32];
  std::snprintf(text, sizeof(text), "20%02u-%02u-%02u %02u:%02u:%02u", entry.year, entry.month, entry.day, entry.hour,
                entry.minute, entry.second);
  return text;
}

std::vector<uint8_t> ProvisionedPowerEventLog() {
  std::vector<uint8_t> record(sizeof(PowerEventLogRecord), 0xFF);
  const UINT64 signature = POWER_EVENT_LOG_SIGNATURE;
  std::memcpy(record.data() + offsetof(PowerEventLogRecord, Signature), &signature, sizeof(signature));
  return record;
}

bool AppendPowerEvent(std::vector<uint8_t> &record, uint8_t event, const CalendarTime &time, std::string *reason) {
  PowerEventLogRecord log;
  if (record.size() != sizeof(log)) {
    *reason = "the record is " + std::to_string(record.size()) + " bytes, not " + std::to_string(sizeof(log));
    return false;
  }
  std::memcpy(&log, record.data(), sizeof(log));
  if (log.Signature != POWER_EVENT_LOG_SIGNATURE) {
    *reason = "the log is not provisioned (no \"KOVAPLOG\" signature)";
    return false;
  }
  UINT32 index = PowerEventLogNextSlot(log.FreeMap);
  if (index >= POWER_EVENT_LOG_SLOTS) {
    *reason = "the log is full (the last slot is used)";
    return false;
  }
  PowerEventSlot &slot = log.Slot[index];
  slot.Year = static_cast<UINT8>(time.year % 100);
  slot.Month = static_cast<UINT8>(time.month);
  slot.Day = static_cast<UINT8>(time.day);
  slot.Hour = static_cast<UINT8>(time.hour);
  slot.Minute = static_cast<UINT8>(time.minute);
  slot.Second = static_cast<UINT8>(time.second);
  slot.Event = event;
  log.FreeMap &= ~(1ull << index);
  std::memcpy(record.data(), &log, sizeof(log));
  return true;
}

std::vector<uint8_t> PowerEventLogBytes(Platform &platform) {
  if (!platform.Flash().Present()) return {};
  const TagStoreRecord plog = *FindTagStoreRecord(PowerEventLogTag());
  return platform.Flash().Peek(kTagStoreBase + plog.offset, plog.size);
}

nlohmann::ordered_json DescribePowerEventLog(const std::vector<uint8_t> &record) {
  const DecodedPowerEventLog log = DecodePowerEventLog(record);
  nlohmann::ordered_json entries = nlohmann::ordered_json::array();
  for (const PowerEventEntry &entry : log.used) {
    entries.push_back({{"slot", entry.slot},
                       {"time", PowerEventTime(entry)},
                       {"event", entry.event},
                       {"name", PowerEventName(entry.event)}});
  }
  return {{"signature", log.signature},
          {"provisioned", log.provisioned},
          {"freeMap", HexNumber(log.freeMap, 16)},
          {"slots", POWER_EVENT_LOG_SLOTS},
          {"entries", entries}};
}

void WritePowerEventLog(std::ostream &out, const nlohmann::ordered_json &log) {
  out << "Power-event log \"" << PowerEventLogTag() << "\": signature \"" << log["signature"].get<std::string>() << "\""
      << (log["provisioned"].get<bool>() ? "" : " (not provisioned)") << ", free map "
      << log["freeMap"].get<std::string>() << ", " << log["entries"].size() << " of " << log["slots"].get<unsigned>()
      << " slots used\n";
  char text[96];
  for (const auto &entry : log["entries"]) {
    std::snprintf(text, sizeof(text), "  slot %2u: %s  %s\n", entry["slot"].get<unsigned>(),
                  entry["time"].get<std::string>().c_str(), entry["name"].get<std::string>().c_str());
    out << text;
  }
}

}  // namespace sim
