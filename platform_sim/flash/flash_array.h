// The storage cells of a NOR flash part: erasing sets bytes to 0xFF and programming can
// only clear bits.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace sim {

class FlashArray {
 public:
  explicit FlashArray(uint64_t size = 0) : bytes_(size, 0xFF) {}

  uint64_t Size() const { return bytes_.size(); }
  uint8_t Get(uint64_t offset) const { return bytes_.at(offset); }
  // The cells of a range (for reports and image files; no bus cycle).
  std::vector<uint8_t> Read(uint64_t offset, uint64_t length) const {
    return std::vector<uint8_t>(bytes_.begin() + static_cast<long>(offset),
                                bytes_.begin() + static_cast<long>(offset + length));
  }
  void Erase(uint64_t offset, uint64_t length) {
    std::fill(bytes_.begin() + static_cast<long>(offset), bytes_.begin() + static_cast<long>(offset + length), 0xFF);
  }
  void Program(uint64_t offset, uint8_t value) { bytes_.at(offset) &= value; }
  // Factory contents, written as they are (not a program operation).
  void Load(uint64_t offset, const std::vector<uint8_t> &data) {
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<long>(offset));
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace sim
