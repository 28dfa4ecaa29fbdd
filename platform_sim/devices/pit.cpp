#include "platform_sim/devices/pit.h"

namespace sim {

void Pit::Attach(AddressMap &map) {
  map.ClaimPorts(0x42, 2, this);
  map.ClaimPorts(0x61, 1, this);
}

bool Pit::Output() const {
  if (stuck_ || !counting_ || (control61_ & 0x01) == 0) return false;
  uint64_t elapsedTicks =
      static_cast<uint64_t>(static_cast<unsigned __int128>(cpu_.NowPs() - startPs_) * kInputHz / 1000000000000ull);
  uint64_t terminal = count_ == 0 ? 0x10000 : count_;
  // Mode 0 raises its output at terminal count; the other modes are not modelled
  // beyond keeping their output high.
  return mode_ == 0 ? elapsedTicks >= terminal : true;
}

uint64_t Pit::IoRead(uint16_t port, unsigned) {
  if (port == 0x61) {
    return (control61_ & 0x0F) | (Output() ? 0x20 : 0x00);
  }
  if (port == 0x42 && statusLatched_) {
    statusLatched_ = false;
    return latchedStatus_;
  }
  return 0;  // count read-back is not used by the drivers
}

void Pit::IoWrite(uint16_t port, unsigned, uint64_t value) {
  uint8_t byte = static_cast<uint8_t>(value);
  if (port == 0x61) {
    bool gateRising = (control61_ & 0x01) == 0 && (byte & 0x01) != 0;
    control61_ = byte & 0x0F;
    if (gateRising && mode_ == 0 && counting_) startPs_ = cpu_.NowPs();
    return;
  }
  if (port == 0x43) {
    uint8_t select = byte >> 6;
    if (select == 3) {  // read-back command
      bool latchStatus = (byte & 0x10) == 0;
      if (latchStatus && (byte & 0x08) != 0) {
        latchedStatus_ = static_cast<uint8_t>((Output() ? 0x80 : 0) | (access_ << 4) | (mode_ << 1) | (bcd_ ? 1 : 0));
        statusLatched_ = true;
      }
      return;
    }
    if (select != 2) return;  // only channel 2 is modelled
    uint8_t access = (byte >> 4) & 0x03;
    if (access == 0) return;  // counter latch: not used
    access_ = access;
    mode_ = (byte >> 1) & 0x07;
    bcd_ = (byte & 0x01) != 0;
    counting_ = false;
    expectHigh_ = false;
    return;
  }
  // port 0x42: count bytes in the programmed order
  if (access_ == 1) {
    count_ = byte;
  } else if (access_ == 2) {
    count_ = static_cast<uint16_t>(byte << 8);
  } else if (!expectHigh_) {
    count_ = (count_ & 0xFF00) | byte;
    expectHigh_ = true;
    return;
  } else {
    count_ = static_cast<uint16_t>((count_ & 0x00FF) | (byte << 8));
    expectHigh_ = false;
  }
  counting_ = true;
  startPs_ = cpu_.NowPs();
}

}  // namespace sim
