// A parallel flash part with the JEDEC command set: unlock cycles at 0x5555 and 0x2AAA,
// 4-KiB sector and 64-KiB block erase, byte program, ID mode. While an operation runs,
// every read returns status with DQ6 toggling and DQ7 the complement of the data.
#pragma once

#include <cstdint>

#include "platform_sim/flash/flash_array.h"
#include "platform_sim/flash/flash_monitor.h"
#include "platform_sim/flash/flash_window.h"

namespace sim {

class JedecParallelFlash : public FlashWindowTarget {
 public:
  static constexpr uint64_t kUnlock1 = 0x5555;
  static constexpr uint64_t kUnlock2 = 0x2AAA;
  static constexpr uint64_t kCommandAddressMask = 0x7FFF;  // A14..A0 take part in decoding

  JedecParallelFlash(uint64_t size, uint8_t manufacturer, uint8_t device, FlashMonitor &monitor, FlashTimings timings)
      : array_(size), manufacturer_(manufacturer), device_(device), monitor_(monitor), timings_(timings) {}

  uint8_t WindowRead(uint64_t offset) override;
  void WindowWrite(uint64_t offset, uint8_t value) override;

  FlashArray &Array() { return array_; }
  bool Busy() const;
  bool InIdMode() const { return state_ == State::Id; }
  // Power-on: read-array mode, nothing in progress.
  void PowerOn();

 private:
  enum class State { Read, Unlocked1, Unlocked2, EraseSetup, EraseUnlocked1, EraseUnlocked2, ProgramSetup, Id };
  void StartErase(uint64_t offset, uint64_t length);
  void StartProgram(uint64_t offset, uint8_t value);
  void SetBusy(uint64_t microseconds, uint8_t data);

  FlashArray array_;
  uint8_t manufacturer_;
  uint8_t device_;
  FlashMonitor &monitor_;
  FlashTimings timings_;
  State state_ = State::Read;
  uint64_t busyUntilPs_ = 0;
  uint8_t busyData_ = 0;
  uint8_t toggle_ = 0;
};

}  // namespace sim
