#include "platform_sim/flash/firmware_hub_flash.h"

namespace sim {

bool FirmwareHubFlash::Busy() const { return monitor_.Processor().NowPs() < busyUntilPs_; }

void FirmwareHubFlash::PowerOn() {
  mode_ = Mode::ReadArray;
  status_ = kReady;
  busyUntilPs_ = 0;
}

void FirmwareHubFlash::SetBusy(uint64_t microseconds) {
  busyUntilPs_ = monitor_.Faults().stuckBusy ? UINT64_MAX : monitor_.Processor().NowPs() + microseconds * 1000000;
}

uint8_t FirmwareHubFlash::WindowRead(uint64_t offset) {
  if (Busy()) return static_cast<uint8_t>(status_ & ~kReady);
  switch (mode_) {
    case Mode::ReadArray: return offset < array_.Size() ? array_.Get(offset) : 0xFF;
    case Mode::ReadId: return (offset & 1) == 0 ? manufacturer_ : device_;
    default: return static_cast<uint8_t>(status_ | kReady);
  }
}

void FirmwareHubFlash::WindowWrite(uint64_t offset, uint8_t value) {
  if (Busy()) {
    // Only a status read is accepted while the part works; it is in status mode anyway.
    return;
  }
  if (offset >= array_.Size()) return;
  uint64_t windowBase = FlashWindow::kTop - array_.Size();
  switch (mode_) {
    case Mode::EraseSetup: {
      mode_ = Mode::ReadStatus;
      if (value != 0xD0) {
        status_ |= kEraseError | kProgramError;  // command sequence error
        return;
      }
      uint64_t block = offset & ~0xFFFFull;
      if (monitor_.CutsDuring()) {
        array_.Erase(block, 0x8000);
        monitor_.Interrupted("erase", windowBase + block, 0x10000);
      }
      bool failed = monitor_.EraseFails();
      if (failed) {
        status_ |= kEraseError;
      } else {
        array_.Erase(block, 0x10000);
      }
      SetBusy(monitor_.BusyUs(timings_.blockEraseUs, timings_.blockEraseMaxUs));
      monitor_.Erased(windowBase + block, 0x10000, failed);
      return;
    }
    case Mode::ProgramSetup: {
      mode_ = Mode::ReadStatus;
      if (monitor_.CutsDuring()) {
        array_.Program(offset, static_cast<uint8_t>(value | 0x0F));
        monitor_.Interrupted("program", windowBase + offset, 1);
      }
      bool failed = monitor_.ProgramFails();
      if (failed) {
        status_ |= kProgramError;
      } else {
        array_.Program(offset, value);
      }
      SetBusy(monitor_.BusyUs(timings_.byteProgramUs, timings_.byteProgramMaxUs));
      monitor_.Programmed(windowBase + offset, 1, failed);
      return;
    }
    default: break;
  }
  switch (value) {
    case 0xFF: mode_ = Mode::ReadArray; break;
    case 0x90: mode_ = Mode::ReadId; break;
    case 0x70: mode_ = Mode::ReadStatus; break;
    case 0x50: status_ = kReady; break;
    case 0x20: mode_ = Mode::EraseSetup; break;
    case 0x40:
    case 0x10: mode_ = Mode::ProgramSetup; break;
    default: break;
  }
}

}  // namespace sim
