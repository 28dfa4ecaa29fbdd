#include "platform_sim/devices/rtc.h"

#include <cstdio>

namespace sim {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t days, int &year, int &month, int &day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

}  // namespace

std::string CalendarTime::Text() const {
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return text;
}

RealTimeClock::RealTimeClock(Cpu &cpu) : cpu_(cpu) {
  registers_[kStatusA] = 0x26;  // 32.768-kHz divider, 1024-Hz periodic rate
  registers_[kStatusB] = kHours24;
  registers_[kStatusD] = 0x80;  // RAM and time valid
  SetTime(CalendarTime{});
}

uint8_t RealTimeClock::Encode(int value) const {
  if (registers_[kStatusB] & kBinary) return static_cast<uint8_t>(value);
  return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

int RealTimeClock::Decode(uint8_t value) const {
  if (registers_[kStatusB] & kBinary) return value;
  return (value >> 4) * 10 + (value & 0x0F);
}

uint8_t RealTimeClock::EncodeHour(int hour) const {
  if (registers_[kStatusB] & kHours24) return Encode(hour);
  int twelve = hour % 12 == 0 ? 12 : hour % 12;
  return static_cast<uint8_t>(Encode(twelve) | (hour >= 12 ? 0x80 : 0));
}

int RealTimeClock::DecodeHour(uint8_t value) const {
  if (registers_[kStatusB] & kHours24) return Decode(value);
  int twelve = Decode(value & 0x7F) % 12;
  return twelve + ((value & 0x80) ? 12 : 0);
}

void RealTimeClock::Store(const CalendarTime &time) {
  registers_[0x00] = Encode(time.second);
  registers_[0x02] = Encode(time.minute);
  registers_[0x04] = EncodeHour(time.hour);
  int64_t days = DaysFromCivil(time.year, time.month, time.day);
  registers_[0x06] = Encode(static_cast<int>(((days % 7) + 11) % 7) + 1);  // 1 = Sunday; 1970-01-01 was a Thursday
  registers_[0x07] = Encode(time.day);
  registers_[0x08] = Encode(time.month);
  registers_[0x09] = Encode(time.year % 100);
}

void RealTimeClock::SetTime(const CalendarTime &time) {
  Store(time);
  nextUpdatePs_ = cpu_.NowPs() + kSecondPs;
}

CalendarTime RealTimeClock::Time() {
  CatchUp();
  return Decoded();
}

CalendarTime RealTimeClock::Decoded() const {
  CalendarTime time;
  time.second = Decode(registers_[0x00]);
  time.minute = Decode(registers_[0x02]);
  time.hour = DecodeHour(registers_[0x04]);
  time.day = Decode(registers_[0x07]);
  time.month = Decode(registers_[0x08]);
  time.year = 2000 + Decode(registers_[0x09]);
  return time;
}

// Applies every update whose moment has passed. With SET, the registers hold still and
// the divider restarts when SET clears.
void RealTimeClock::CatchUp() {
  uint64_t now = cpu_.NowPs();
  if (registers_[kStatusB] & kSet) {
    nextUpdatePs_ = now + kSecondPs;
    return;
  }
  if (now < nextUpdatePs_) return;
  uint64_t seconds = (now - nextUpdatePs_) / kSecondPs + 1;
  nextUpdatePs_ += seconds * kSecondPs;
  CalendarTime time = Decoded();
  int64_t total = DaysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 + time.minute * 60 +
                  time.second + static_cast<int64_t>(seconds);
  int64_t days = total / 86400;
  int64_t rest = total % 86400;
  CivilFromDays(days, time.year, time.month, time.day);
  time.hour = static_cast<int>(rest / 3600);
  time.minute = static_cast<int>(rest / 60 % 60);
  time.second = static_cast<int>(rest % 60);
  Store(time);
}

bool RealTimeClock::UpdateInProgress() {
  CatchUp();
  if (stuck_) return true;
  if (registers_[kStatusB] & kSet) return false;
  return nextUpdatePs_ - cpu_.NowPs() <= kUpdateWindowPs;
}

uint8_t RealTimeClock::Read(uint8_t index) {
  if (index >= kRegisterCount) return 0xFF;
  if (index == kStatusA) {
    ++statusAReads_;
    bool busy = UpdateInProgress();
    return static_cast<uint8_t>((registers_[kStatusA] & 0x7F) | (busy ? kUpdateInProgress : 0));
  }
  CatchUp();
  return registers_[index];
}

void RealTimeClock::Write(uint8_t index, uint8_t value) {
  if (index >= kRegisterCount) return;
  CatchUp();
  switch (index) {
    case kStatusA:
      registers_[kStatusA] = value & 0x7F;  // the update flag is read-only
      break;
    case kStatusC:
    case kStatusD: break;  // read-only
    default: registers_[index] = value; break;
  }
}

}  // namespace sim
