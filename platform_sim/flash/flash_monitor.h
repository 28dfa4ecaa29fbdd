// What every flash part reports its erase and program commands to: the monitor counts
// them, decides the injected failures, records the operations and cuts the power when
// a test asks for it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform_sim/cpu/cpu.h"
#include "platform_sim/flash/flash_profile.h"
#include "platform_sim/trace/effect_trace.h"

namespace sim {

class FlashMonitor {
 public:
  using ActorSource = std::function<std::string()>;
  using PowerCut = std::function<void()>;

  FlashMonitor(Cpu &cpu, EffectTrace &trace, ActorSource actor, PowerCut powerCut, FlashFaults faults)
      : cpu_(cpu), trace_(trace), actor_(std::move(actor)), powerCut_(std::move(powerCut)), faults_(faults) {}

  FlashFaults &Faults() { return faults_; }
  Cpu &Processor() { return cpu_; }

  // A part accepts an erase or program command; true when this one is to fail.
  bool EraseFails();
  bool ProgramFails();
  // True when the power is to fail half-way through the command about to run. The part
  // then applies the half it got to and calls Interrupted, which does not return.
  bool CutsDuring() const;
  [[noreturn]] void Interrupted(const std::string &what, uint64_t address, uint64_t length);
  // The busy time the part shows: typical, or the datasheet's maximum.
  uint64_t BusyUs(uint64_t typicalUs, uint64_t maxUs) const { return faults_.worstCaseTimes ? maxUs : typicalUs; }

  // The command has taken effect. Recorded unless quiet (a caller above the part
  // records it instead); consecutive single-byte programs merge into one record.
  void Erased(uint64_t address, uint64_t length, bool failed, bool quiet = false);
  void Programmed(uint64_t address, uint64_t length, bool failed, bool quiet = false);
  // Operations recorded on behalf of the parts (protocol calls), before they run; the
  // outcome is added to the same record afterwards.
  size_t Note(const std::string &what, uint64_t address);
  void NoteOutcome(size_t note, const std::string &outcome);

  // Called after every erase or program command has taken effect, with the memory
  // address and length it covered: the turn of a device that works while the flash is
  // busy (a bus master writing memory), or a check of where the flash changed.
  using CommandObserver = std::function<void(uint64_t address, uint64_t length)>;
  void OnCommand(CommandObserver observer) { onCommand_ = std::move(observer); }

  uint64_t Erases() const { return erases_; }
  uint64_t Programs() const { return programs_; }

 private:
  void AfterCommand(uint64_t address, uint64_t length);

  Cpu &cpu_;
  EffectTrace &trace_;
  ActorSource actor_;
  PowerCut powerCut_;
  FlashFaults faults_;
  CommandObserver onCommand_;
  uint64_t erases_ = 0;
  uint64_t programs_ = 0;
  // The record that byte programs continue, by its position in the trace.
  size_t runIndex_ = SIZE_MAX;
  uint64_t runStart_ = 0;
  uint64_t runEnd_ = 0;
};

}  // namespace sim
