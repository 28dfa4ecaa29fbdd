// The ordered record of what the images did that an observer outside them could see.
// Tests assert on it and the simulator's report prints it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

enum class EffectKind {
  BootStart,
  ImageLoad,
  ImageEntryReturn,
  ImageFault,
  ProtocolInstall,
  ConfigTableInstall,
  EventClosed,
  VariableWrite,
  VariableDelete,
  CmosWrite,
  EcByte,
  PostCode,
  TraceHubMessage,
  Reset,
  Note,
  FlashOperation,
  MemorySpace,
  AddressFixup,
  LockBox,
  // A rule of the firmware broken by an image (a service called above its TPL, a TPL
  // raised downwards): real firmware asserts or misbehaves later.
  Finding,
  // A call the platform refuses or cannot serve: a service not modelled, a boot service
  // after ExitBootServices, a bad free, a call into an unloaded image.
  Fault,
  VariableRead,
  ImageUnload,
  SleepState,  // a sleep-state transition of the platform
};

struct Effect {
  uint32_t boot = 0;
  EffectKind kind = EffectKind::Note;
  std::string actor;   // image (or caller) on whose behalf it happened
  std::string what;    // readable description
  uint64_t value = 0;  // kind-specific: status, byte, code...
};

class EffectTrace {
 public:
  void Add(EffectKind kind, std::string actor, std::string what, uint64_t value = 0) {
    effects_.push_back(Effect{boot_, kind, std::move(actor), std::move(what), value});
  }
  void SetBoot(uint32_t boot) { boot_ = boot; }
  const std::vector<Effect> &All() const { return effects_; }
  std::vector<Effect> OfKind(EffectKind kind) const;
  void Clear() { effects_.clear(); }
  // Rewrites the description of an earlier effect (a record that grows, such as a run of
  // byte programs).
  void Amend(size_t index, std::string what) {
    if (index < effects_.size()) effects_[index].what = std::move(what);
  }

 private:
  uint32_t boot_ = 1;
  std::vector<Effect> effects_;
};

std::string EffectKindName(EffectKind kind);

}  // namespace sim
