#include "platform_sim/devices/cmos.h"

namespace sim {

uint8_t CmosBank::Get(uint8_t index) {
  index &= mask_;
  return ClockRegister(index) ? clock_->Read(index) : bytes_[index];
}

uint64_t CmosBank::IoRead(uint16_t port, unsigned) {
  if (port == indexPort_) return 0xFF;
  return ClockRegister(index_) ? clock_->Read(index_) : bytes_[index_];
}

void CmosBank::IoWrite(uint16_t port, unsigned, uint64_t value) {
  if (port == indexPort_) {
    index_ = static_cast<uint8_t>(value) & mask_;
    if (mask_ == 0x7F) nmiMasked_ = (value & 0x80) != 0;
    return;
  }
  if (ClockRegister(index_)) {
    clock_->Write(index_, static_cast<uint8_t>(value));
  } else {
    bytes_[index_] = static_cast<uint8_t>(value);
  }
  if (observer_) observer_(index_, static_cast<uint8_t>(value));
}

}  // namespace sim
