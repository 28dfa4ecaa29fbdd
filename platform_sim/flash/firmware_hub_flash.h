// A firmware-hub flash part: 64-KiB block erase (0x20, 0xD0), byte program (0x40 or
// 0x10, data), read status (0x70), clear status (0x50), read array (0xFF) and read ID
// (0x90). Status bit 7 is ready; bits 5, 4 and 3 report erase, program and voltage errors.
#pragma once

#include <cstdint>

#include "platform_sim/flash/flash_array.h"
#include "platform_sim/flash/flash_monitor.h"
#include "platform_sim/flash/flash_window.h"

namespace sim {

class FirmwareHubFlash : public FlashWindowTarget {
 public:
  static constexpr uint8_t kReady = 0x80;
  static constexpr uint8_t kEraseError = 0x20;
  static constexpr uint8_t kProgramError = 0x10;

  FirmwareHubFlash(uint64_t size, uint8_t manufacturer, uint8_t device, FlashMonitor &monitor, FlashTimings timings)
      : array_(size), manufacturer_(manufacturer), device_(device), monitor_(monitor), timings_(timings) {}

  uint8_t WindowRead(uint64_t offset) override;
  void WindowWrite(uint64_t offset, uint8_t value) override;

  FlashArray &Array() { return array_; }
  bool Busy() const;
  uint8_t Status() const { return status_; }
  bool InReadArrayMode() const { return mode_ == Mode::ReadArray; }
  void PowerOn();

 private:
  enum class Mode { ReadArray, ReadId, ReadStatus, EraseSetup, ProgramSetup };
  void SetBusy(uint64_t microseconds);

  FlashArray array_;
  uint8_t manufacturer_;
  uint8_t device_;
  FlashMonitor &monitor_;
  FlashTimings timings_;
  Mode mode_ = Mode::ReadArray;
  uint8_t status_ = kReady;
  uint64_t busyUntilPs_ = 0;
};

}  // namespace sim
