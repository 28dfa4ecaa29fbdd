// A bus-master device: it writes memory by DMA, on its own, while the processor waits.
// SMRAM is shielded from DMA; everything else of the arena is open to it. Here it takes
// a turn after every flash command (FlashMonitor::OnCommand) and makes its writes again,
// which is how a device changes memory during an SMI's long flash programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

class Arena;

struct DmaWrite {
  uint64_t address = 0;
  std::vector<uint8_t> bytes;
};

class BusMaster {
 public:
  explicit BusMaster(Arena &arena) : arena_(arena) {}

  void Program(std::vector<DmaWrite> writes) { writes_ = std::move(writes); }
  // Makes every programmed write that lies in the arena outside SMRAM; the others the
  // bus drops. Returns how many were made.
  size_t Turn();
  uint64_t Turns() const { return turns_; }

 private:
  Arena &arena_;
  std::vector<DmaWrite> writes_;
  uint64_t turns_ = 0;
};

}  // namespace sim
