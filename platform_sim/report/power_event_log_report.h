// The power-event log section of the simulator's report: the "PLOG" record as the flash
// holds it, decoded.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

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

DecodedPowerEventLog DecodePowerEventLog(const std::vector<uint8_t> &record);
std::string PowerEventName(uint8_t event);
void WritePowerEventLog(std::ostream &out, Platform &platform);

}  // namespace sim
