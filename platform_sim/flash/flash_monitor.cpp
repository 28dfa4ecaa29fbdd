#include "platform_sim/flash/flash_monitor.h"

#include <cstdio>
#include <stdexcept>

namespace sim {

namespace {
std::string Range(uint64_t address, uint64_t length) {
  char text[64];
  std::snprintf(text, sizeof(text), "0x%08llX-0x%08llX (%llu bytes)", static_cast<unsigned long long>(address),
                static_cast<unsigned long long>(address + length - 1), static_cast<unsigned long long>(length));
  return text;
}
}  // namespace

bool FlashMonitor::EraseFails() {
  uint64_t number = erases_ + 1;
  return faults_.failEveryErase || faults_.failEraseNth == number;
}

bool FlashMonitor::ProgramFails() {
  uint64_t number = programs_ + 1;
  return faults_.failEveryProgram || faults_.failProgramNth == number;
}

bool FlashMonitor::CutsDuring() const {
  return faults_.powerCutDuring != 0 && erases_ + programs_ + 1 == faults_.powerCutDuring;
}

void FlashMonitor::Interrupted(const std::string &what, uint64_t address, uint64_t length) {
  faults_.powerCutDuring = 0;
  runIndex_ = SIZE_MAX;
  trace_.Add(EffectKind::FlashOperation, actor_(), what + " " + Range(address, length) + " CUT half-way", address);
  powerCut_();
  // The power cut unwinds; should it ever return, the command still must not finish.
  throw std::logic_error("power cut did not unwind");
}

void FlashMonitor::Erased(uint64_t address, uint64_t length, bool failed, bool quiet) {
  ++erases_;
  runIndex_ = SIZE_MAX;
  if (!quiet) {
    trace_.Add(EffectKind::FlashOperation, actor_(), "erase " + Range(address, length) + (failed ? " FAILED" : ""),
               address);
  }
  AfterCommand(address, length);
}

void FlashMonitor::Programmed(uint64_t address, uint64_t length, bool failed, bool quiet) {
  ++programs_;
  if (!quiet) {
    const auto &all = trace_.All();
    bool continues = !failed && runIndex_ + 1 == all.size() && address == runEnd_ && all.back().actor == actor_() &&
                     all.back().kind == EffectKind::FlashOperation;
    if (continues) {
      runEnd_ += length;
      trace_.Amend(runIndex_, "program " + Range(runStart_, runEnd_ - runStart_));
    } else {
      trace_.Add(EffectKind::FlashOperation, actor_(), "program " + Range(address, length) + (failed ? " FAILED" : ""),
                 address);
      runIndex_ = failed ? SIZE_MAX : trace_.All().size() - 1;
      runStart_ = address;
      runEnd_ = address + length;
    }
  }
  AfterCommand(address, length);
}

size_t FlashMonitor::Note(const std::string &what, uint64_t address) {
  runIndex_ = SIZE_MAX;
  trace_.Add(EffectKind::FlashOperation, actor_(), what, address);
  return trace_.All().size() - 1;
}

void FlashMonitor::NoteOutcome(size_t note, const std::string &outcome) {
  if (note < trace_.All().size()) trace_.Amend(note, trace_.All()[note].what + " -> " + outcome);
}

void FlashMonitor::AfterCommand(uint64_t address, uint64_t length) {
  if (onCommand_) onCommand_(address, length);
  if (faults_.powerCutAfter != 0 && erases_ + programs_ == faults_.powerCutAfter) {
    faults_.powerCutAfter = 0;
    powerCut_();
  }
}

}  // namespace sim
