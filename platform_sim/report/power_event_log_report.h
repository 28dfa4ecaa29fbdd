// The "PLOG" power-event log record as a host tool sees it: decoded for the report and
// the flash-image tool, and written offline by the driver's rules.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform_sim/devices/rtc.h"

namespace sim {

class Platform;

struct PowerEventEntry {
  unsigned slot = 0;
  uint8_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  uint8_t event = 0;
};

struct DecodedPowerEventLog {
  std::string signature;  // the eight signature bytes, unprintable ones as '.'
  bool provisioned = false;
  uint64_t freeMap = 0;
  std::vector<PowerEventEntry> used;  // slots whose free bit is clear, in slot order
};

uint32_t PowerEventLogSlots();
// The record's tag in the tag store, "PLOG".
std::string PowerEventLogTag();
DecodedPowerEventLog DecodePowerEventLog(const std::vector<uint8_t> &record);
std::string PowerEventName(uint8_t event);
// The event value of "start", "s3", "s4" or "s5"; none for another name.
std::optional<uint8_t> PowerEventFromName(const std::string &name);
// "2026-03-14 09:26:53"
std::string PowerEventTime(const PowerEventEntry &entry);

// A freshly provisioned record: the signature, every slot free, the slots erased.
std::vector<uint8_t> ProvisionedPowerEventLog();
// Appends one event stamped with `time` as the driver does (the slot after the highest
// used one; the reserved byte kept). False with the reason when the record is not
// provisioned or full.
bool AppendPowerEvent(std::vector<uint8_t> &record, uint8_t event, const CalendarTime &time, std::string *reason);

// The record decoded: signature, whether it is provisioned, the free map, the number of
// slots and each used slot as {slot, time, event, name}.
nlohmann::ordered_json DescribePowerEventLog(const std::vector<uint8_t> &record);
// The same description as text: a heading line and a line per used slot.
void WritePowerEventLog(std::ostream &out, const nlohmann::ordered_json &log);
// The same record's bytes from the platform's flash (empty without a flash).
std::vector<uint8_t> PowerEventLogBytes(Platform &platform);

}  // namespace sim
