// The memory-mapped boot flash: the top of the 4-GiB address space decodes to the flash,
// one byte cycle at a time (a wider access is a run of byte cycles, lowest address first).
#pragma once

#include <cstdint>

#include "platform_sim/memory/address_map.h"

namespace sim {

// What answers the bus cycles of the window: a parallel part's command interface, or the
// SPI controller's read-only view of the flash.
class FlashWindowTarget {
 public:
  virtual ~FlashWindowTarget() = default;
  virtual uint8_t WindowRead(uint64_t offset) = 0;
  virtual void WindowWrite(uint64_t offset, uint8_t value) = 0;
};

class FlashWindow : public MmioDevice {
 public:
  static constexpr uint64_t kTop = 0x100000000ull;

  FlashWindow(uint64_t size, FlashWindowTarget &target) : size_(size), target_(target) {}
  void Attach(AddressMap &map) { map.ClaimMmio(Base(), size_, this); }
  uint64_t Base() const { return kTop - size_; }
  uint64_t Size() const { return size_; }

  uint64_t MmioRead(uint64_t offset, unsigned width) override {
    uint64_t value = 0;
    for (unsigned index = 0; index < width; ++index) {
      value |= static_cast<uint64_t>(target_.WindowRead(offset + index)) << (8 * index);
    }
    return value;
  }
  void MmioWrite(uint64_t offset, unsigned width, uint64_t value) override {
    for (unsigned index = 0; index < width; ++index) {
      target_.WindowWrite(offset + index, static_cast<uint8_t>(value >> (8 * index)));
    }
  }

 private:
  uint64_t size_;
  FlashWindowTarget &target_;
};

}  // namespace sim
