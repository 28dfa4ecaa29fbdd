// The processor as the drivers see it: interrupt flag, flags register, and a TSC
// driven by virtual time. Every hardware access advances virtual time by its cost.
#pragma once

#include <cstdint>

namespace sim {

struct AccessCosts {
  uint64_t portNs = 250;
  uint64_t mmioNs = 100;
  uint64_t tscReadNs = 20;
  uint64_t pauseNs = 40;
};

class Cpu {
 public:
  static constexpr uint64_t kFlagsInterruptEnable = 0x200;
  static constexpr uint64_t kFlagsReservedOne = 0x2;

  explicit Cpu(uint64_t tscHz) : tscHz_(tscHz) {}

  uint64_t NowPs() const { return nowPs_; }
  void AdvanceNs(uint64_t ns) { nowPs_ += ns * 1000; }
  void AdvancePs(uint64_t ps) { nowPs_ += ps; }

  uint64_t TscHz() const { return tscHz_; }
  uint64_t ReadTsc();
  void Pause() { AdvanceNs(costs_.pauseNs); }

  bool InterruptsEnabled() const { return interrupts_; }
  void SetInterrupts(bool enabled) {
    interrupts_ = enabled;
    ++interruptFlagChanges_;
  }
  uint64_t Flags() const { return kFlagsReservedOne | (interrupts_ ? kFlagsInterruptEnable : 0); }
  uint64_t InterruptFlagChanges() const { return interruptFlagChanges_; }

  AccessCosts &Costs() { return costs_; }
  // A reset leaves interrupts off; time runs on.
  void Reset() { interrupts_ = false; }

 private:
  uint64_t tscHz_;
  uint64_t nowPs_ = 0;
  bool interrupts_ = true;
  uint64_t interruptFlagChanges_ = 0;
  AccessCosts costs_;
};

}  // namespace sim
