#include "platform_sim/devices/cmos.h"

namespace sim {

uint64_t CmosBank::IoRead(uint16_t port, unsigned) {
  return port == indexPort_ ? 0xFF : bytes_[index_];
}

void CmosBank::IoWrite(uint16_t port, unsigned, uint64_t value) {
  if (port == indexPort_) {
    // Bit 7 of the first bank's index is the NMI mask, not part of the index.
    index_ = static_cast<uint8_t>(value) & 0x7F;
    return;
  }
  bytes_[index_] = static_cast<uint8_t>(value);
  if (observer_) observer_(index_, static_cast<uint8_t>(value));
}

}  // namespace sim
