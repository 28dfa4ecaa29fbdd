#include "platform_sim/flash/jedec_parallel_flash.h"

namespace sim {

bool JedecParallelFlash::Busy() const { return monitor_.Processor().NowPs() < busyUntilPs_; }

void JedecParallelFlash::PowerOn() {
  state_ = State::Read;
  busyUntilPs_ = 0;
}

void JedecParallelFlash::SetBusy(uint64_t microseconds, uint8_t data) {
  busyData_ = data;
  busyUntilPs_ = monitor_.Faults().stuckBusy ? UINT64_MAX : monitor_.Processor().NowPs() + microseconds * 1000000;
}

uint8_t JedecParallelFlash::WindowRead(uint64_t offset) {
  if (Busy()) {
    toggle_ ^= 0x40;
    return static_cast<uint8_t>((~busyData_ & 0x80) | toggle_);
  }
  if (state_ == State::Id) return (offset & 1) == 0 ? manufacturer_ : device_;
  return offset < array_.Size() ? array_.Get(offset) : 0xFF;
}

void JedecParallelFlash::StartErase(uint64_t offset, uint64_t length) {
  uint64_t start = offset & ~(length - 1);
  uint64_t windowBase = FlashWindow::kTop - array_.Size();
  if (monitor_.CutsDuring()) {
    array_.Erase(start, length / 2);
    monitor_.Interrupted("erase", windowBase + start, length);
  }
  bool failed = monitor_.EraseFails();
  // A failing erase runs its time and leaves the cells as they were.
  if (!failed) array_.Erase(start, length);
  state_ = State::Read;
  SetBusy(length > 0x1000 ? monitor_.BusyUs(timings_.blockEraseUs, timings_.blockEraseMaxUs)
                          : monitor_.BusyUs(timings_.sectorEraseUs, timings_.sectorEraseMaxUs),
          0x00);
  monitor_.Erased(FlashWindow::kTop - array_.Size() + start, length, failed);
}

void JedecParallelFlash::StartProgram(uint64_t offset, uint8_t value) {
  // A byte cut half-way has only some of its zero bits programmed: the high nibble.
  if (monitor_.CutsDuring()) {
    array_.Program(offset, static_cast<uint8_t>(value | 0x0F));
    monitor_.Interrupted("program", FlashWindow::kTop - array_.Size() + offset, 1);
  }
  bool failed = monitor_.ProgramFails();
  if (!failed) array_.Program(offset, value);
  state_ = State::Read;
  SetBusy(monitor_.BusyUs(timings_.byteProgramUs, timings_.byteProgramMaxUs), value);
  monitor_.Programmed(FlashWindow::kTop - array_.Size() + offset, 1, failed);
}

void JedecParallelFlash::WindowWrite(uint64_t offset, uint8_t value) {
  // The part ignores the bus while it works.
  if (Busy() || offset >= array_.Size()) return;
  uint64_t command = offset & kCommandAddressMask;
  switch (state_) {
    case State::Read: state_ = value == 0xAA && command == kUnlock1 ? State::Unlocked1 : State::Read; return;
    case State::Unlocked1: state_ = value == 0x55 && command == kUnlock2 ? State::Unlocked2 : State::Read; return;
    case State::Unlocked2:
      if (command == kUnlock1 && value == 0x80) {
        state_ = State::EraseSetup;
      } else if (command == kUnlock1 && value == 0xA0) {
        state_ = State::ProgramSetup;
      } else if (command == kUnlock1 && value == 0x90) {
        state_ = State::Id;
      } else {
        state_ = State::Read;
      }
      return;
    case State::EraseSetup: state_ = value == 0xAA && command == kUnlock1 ? State::EraseUnlocked1 : State::Read; return;
    case State::EraseUnlocked1:
      state_ = value == 0x55 && command == kUnlock2 ? State::EraseUnlocked2 : State::Read;
      return;
    case State::EraseUnlocked2:
      if (value == 0x30) {
        StartErase(offset, 0x1000);
      } else if (value == 0x50) {
        StartErase(offset, 0x10000);
      } else if (value == 0x10 && command == kUnlock1) {
        StartErase(0, array_.Size());
      } else {
        state_ = State::Read;
      }
      return;
    case State::ProgramSetup: StartProgram(offset, value); return;
    case State::Id:
      if (value == 0xF0) state_ = State::Read;
      return;
  }
}

}  // namespace sim
