// CMOS behind an index/data port pair. Bank 0 (0x70/0x71) has 128 bytes; bit 7 of its
// index is the NMI mask, and its first 14 bytes are the real-time clock's registers.
// The second bank (0x72/0x73) decodes the full 8-bit index. CMOS is battery-backed: it
// survives resets.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>

#include "platform_sim/devices/rtc.h"
#include "platform_sim/memory/address_map.h"

namespace sim {

class CmosBank : public IoDevice {
 public:
  using WriteObserver = std::function<void(uint8_t index, uint8_t value)>;
  enum class IndexDecode { NmiMaskInBit7, Full8Bit };

  explicit CmosBank(uint16_t indexPort, IndexDecode decode = IndexDecode::NmiMaskInBit7)
      : indexPort_(indexPort), mask_(decode == IndexDecode::Full8Bit ? 0xFF : 0x7F) {
    bytes_.fill(0);
  }
  void Attach(AddressMap &map) { map.ClaimPorts(indexPort_, 2, this); }
  // Bank 0: the clock answers its register indexes.
  void AttachClock(RealTimeClock *clock) { clock_ = clock; }

  uint64_t IoRead(uint16_t port, unsigned width) override;
  void IoWrite(uint16_t port, unsigned width, uint64_t value) override;

  uint8_t Get(uint8_t index);
  void Set(uint8_t index, uint8_t value) { bytes_[index & mask_] = value; }
  uint8_t SelectedIndex() const { return index_; }
  // Bank 0: NMI masked by the last index write.
  bool NmiMasked() const { return nmiMasked_; }
  // The bytes that are not zero, by index: {"0x47": "0x03"}.
  nlohmann::ordered_json Describe() const;
  void OnWrite(WriteObserver observer) { observer_ = std::move(observer); }

 private:
  bool ClockRegister(uint8_t index) const { return clock_ != nullptr && index < RealTimeClock::kRegisterCount; }

  uint16_t indexPort_;
  uint8_t mask_;
  uint8_t index_ = 0;
  bool nmiMasked_ = false;
  std::array<uint8_t, 256> bytes_;
  RealTimeClock *clock_ = nullptr;
  WriteObserver observer_;
};

}  // namespace sim
