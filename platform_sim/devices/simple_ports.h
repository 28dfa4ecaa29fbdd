// Write-only ports: the post-code port 0x80 and the I/O delay port 0xED.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform_sim/memory/address_map.h"

namespace sim {

class PostCodePort : public IoDevice {
 public:
  void Attach(AddressMap &map) { map.ClaimPorts(0x80, 1, this); }
  uint64_t IoRead(uint16_t, unsigned) override { return lastCode_; }
  void IoWrite(uint16_t, unsigned, uint64_t value) override {
    lastCode_ = static_cast<uint8_t>(value);
    codes_.push_back(lastCode_);
    if (observer_) observer_(lastCode_);
  }
  const std::vector<uint8_t> &Codes() const { return codes_; }
  void OnWrite(std::function<void(uint8_t)> observer) { observer_ = std::move(observer); }

 private:
  uint8_t lastCode_ = 0;
  std::vector<uint8_t> codes_;
  std::function<void(uint8_t)> observer_;
};

// Writing here only costs time, as on the ISA bus.
class IoDelayPort : public IoDevice {
 public:
  void Attach(AddressMap &map) { map.ClaimPorts(0xED, 1, this); }
  uint64_t IoRead(uint16_t, unsigned) override { return 0xFF; }
  void IoWrite(uint16_t, unsigned, uint64_t) override {
    ++writes_;
  }
  uint64_t Writes() const { return writes_; }

 private:
  uint64_t writes_ = 0;
};

}  // namespace sim
