// A bank of 128 CMOS bytes behind an index/data port pair (bank 0 at 0x70/0x71,
// the second bank at 0x72/0x73). CMOS is battery-backed: it survives resets.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "platform_sim/memory/address_map.h"

namespace sim {

class CmosBank : public IoDevice {
 public:
  using WriteObserver = std::function<void(uint8_t index, uint8_t value)>;

  explicit CmosBank(uint16_t indexPort) : indexPort_(indexPort) { bytes_.fill(0); }
  void Attach(AddressMap &map) { map.ClaimPorts(indexPort_, 2, this); }

  uint64_t IoRead(uint16_t port, unsigned width) override;
  void IoWrite(uint16_t port, unsigned width, uint64_t value) override;

  uint8_t Get(uint8_t index) const { return bytes_[index & 0x7F]; }
  void Set(uint8_t index, uint8_t value) { bytes_[index & 0x7F] = value; }
  uint8_t SelectedIndex() const { return index_; }
  void OnWrite(WriteObserver observer) { observer_ = std::move(observer); }

 private:
  uint16_t indexPort_;
  uint8_t index_ = 0;
  std::array<uint8_t, 128> bytes_;
  WriteObserver observer_;
};

}  // namespace sim
