// The MC146818-style real-time clock behind CMOS bank 0 (registers 0x00 to 0x0D). The
// time registers hold BCD (or binary, per register B), the clock advances with virtual
// time, and status register A's update-in-progress bit rises 244 us before each second's
// update and stays up through the update, 2228 us in all. The clock is battery-backed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform_sim/cpu/cpu.h"

namespace sim {

struct CalendarTime {
  int year = 2026;  // full year; register 0x09 holds it modulo 100, 0x32 the century
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  bool operator==(const CalendarTime &) const = default;
  std::string Text() const;  // "2026-01-01 00:00:00"
};

class RealTimeClock {
 public:
  static constexpr uint8_t kRegisterCount = 0x0E;
  static constexpr uint8_t kStatusA = 0x0A, kStatusB = 0x0B, kStatusC = 0x0C, kStatusD = 0x0D;
  static constexpr uint8_t kCentury = 0x32;  // in CMOS RAM, kept by the clock's owner
  static constexpr uint8_t kUpdateInProgress = 0x80;
  static constexpr uint8_t kSet = 0x80, kBinary = 0x04, kHours24 = 0x02;
  static constexpr uint64_t kSecondPs = 1000000000000ull;
  static constexpr uint64_t kUpdateWindowPs = (244ull + 1984ull) * 1000000ull;

  explicit RealTimeClock(Cpu &cpu);

  // Sets the time registers in the current mode; the next update is a second away.
  void SetTime(const CalendarTime &time);
  // The time the registers hold now (BCD or binary as register B says).
  CalendarTime Time();

  uint8_t Read(uint8_t index);
  void Write(uint8_t index, uint8_t value);

  // A clock whose update flag never clears (a failing oscillator).
  void SetUpdateStuck(bool stuck) { stuck_ = stuck; }
  bool UpdateInProgress();
  uint64_t StatusAReads() const { return statusAReads_; }

 private:
  void CatchUp();
  CalendarTime Decoded() const;
  uint8_t Encode(int value) const;
  int Decode(uint8_t value) const;
  uint8_t EncodeHour(int hour) const;
  int DecodeHour(uint8_t value) const;
  void Store(const CalendarTime &time);

  Cpu &cpu_;
  std::array<uint8_t, kRegisterCount> registers_{};
  uint64_t nextUpdatePs_ = 0;
  bool stuck_ = false;
  uint64_t statusAReads_ = 0;
};

}  // namespace sim
