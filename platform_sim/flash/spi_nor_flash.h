// An SPI NOR flash part as the controller's hardware sequencing drives it: 4-KiB sector
// erase, page program (256 bytes, never across a page), JEDEC ID and SFDP reads. Each
// erase or program waits out the part's busy time in virtual time.
#pragma once

#include <cstdint>
#include <vector>

#include "platform_sim/flash/flash_array.h"
#include "platform_sim/flash/flash_monitor.h"

namespace sim {

class SpiNorFlash {
 public:
  static constexpr uint64_t kSectorSize = 0x1000;
  static constexpr uint64_t kPageSize = 0x100;
  // The controller gives up on a part that stays busy this long.
  static constexpr uint64_t kCycleTimeoutUs = 2000000;

  SpiNorFlash(uint64_t size, std::vector<uint8_t> jedecId, std::vector<uint8_t> sfdp, FlashMonitor &monitor,
              FlashTimings timings)
      : array_(size), jedecId_(std::move(jedecId)), sfdp_(std::move(sfdp)), monitor_(monitor), timings_(timings) {}

  FlashArray &Array() { return array_; }
  const FlashArray &Array() const { return array_; }
  const std::vector<uint8_t> &JedecId() const { return jedecId_; }
  // Another part behind the same controller (a board variant, or a fuzzer's tables).
  void SetIdentity(std::vector<uint8_t> jedecId, std::vector<uint8_t> sfdp) {
    jedecId_ = std::move(jedecId);
    sfdp_ = std::move(sfdp);
  }

  // Each returns false when the part reports a failure or never finishes. `memory` is
  // the address the operation is recorded under.
  bool EraseSector(uint64_t offset, uint64_t memory);
  bool ProgramPage(uint64_t offset, const uint8_t *data, uint64_t length, uint64_t memory);
  // The ID bytes as clocked out; a longer read continues with zero bytes.
  void ReadJedecId(uint8_t *out, uint64_t length) const;
  // SFDP space beyond the part's table reads erased.
  void ReadSfdp(uint64_t address, uint8_t *out, uint64_t length) const;

 private:
  bool Wait(uint64_t microseconds);

  FlashArray array_;
  std::vector<uint8_t> jedecId_;
  std::vector<uint8_t> sfdp_;
  FlashMonitor &monitor_;
  FlashTimings timings_;
};

}  // namespace sim
