// Write-only ports: the post-code port 0x80 and the I/O delay port 0xED.
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <vector>

#include "platform_sim/memory/address_map.h"

namespace sim {

// A post-code display latches whatever width the firmware writes (POST codes are
// written 16 bits wide here).
struct PostCodeWrite {
  uint32_t value = 0;
  unsigned width = 1;  // bytes
};

class PostCodePort : public IoDevice {
 public:
  void Attach(AddressMap &map) { map.ClaimPorts(0x80, 1, this); }
  uint64_t IoRead(uint16_t, unsigned) override { return last_.value; }
  void IoWrite(uint16_t, unsigned width, uint64_t value) override {
    last_ = PostCodeWrite{static_cast<uint32_t>(value), width};
    codes_.push_back(last_);
    if (observer_) observer_(last_);
  }
  const std::vector<PostCodeWrite> &Codes() const { return codes_; }
  // Each code as written: its value and width in bits.
  nlohmann::ordered_json Describe() const;
  void OnWrite(std::function<void(const PostCodeWrite &)> observer) { observer_ = std::move(observer); }

 private:
  PostCodeWrite last_;
  std::vector<PostCodeWrite> codes_;
  std::function<void(const PostCodeWrite &)> observer_;
};

// Writing here only costs time, as on the ISA bus.
class IoDelayPort : public IoDevice {
 public:
  void Attach(AddressMap &map) { map.ClaimPorts(0xED, 1, this); }
  uint64_t IoRead(uint16_t, unsigned) override { return 0xFF; }
  void IoWrite(uint16_t, unsigned, uint64_t) override { ++writes_; }
  uint64_t Writes() const { return writes_; }

 private:
  uint64_t writes_ = 0;
};

}  // namespace sim
