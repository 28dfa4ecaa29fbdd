#include "platform_sim/trace/effect_trace.h"

namespace sim {

std::vector<Effect> EffectTrace::OfKind(EffectKind kind) const {
  std::vector<Effect> result;
  for (const Effect &effect : effects_) {
    if (effect.kind == kind) result.push_back(effect);
  }
  return result;
}

std::string EffectKindName(EffectKind kind) {
  switch (kind) {
    case EffectKind::BootStart: return "boot";
    case EffectKind::ImageLoad: return "load";
    case EffectKind::ImageEntryReturn: return "entry";
    case EffectKind::ImageFault: return "image-fault";
    case EffectKind::ProtocolInstall: return "protocol";
    case EffectKind::ConfigTableInstall: return "config-table";
    case EffectKind::EventClosed: return "event-closed";
    case EffectKind::VariableWrite: return "variable";
    case EffectKind::VariableDelete: return "variable-delete";
    case EffectKind::CmosWrite: return "cmos";
    case EffectKind::EcByte: return "ec";
    case EffectKind::PostCode: return "post-code";
    case EffectKind::TraceHubMessage: return "trace-hub";
    case EffectKind::Reset: return "reset";
    case EffectKind::Note: return "note";
    case EffectKind::FlashOperation: return "flash";
    case EffectKind::MemorySpace: return "memory-space";
    case EffectKind::AddressFixup: return "address-fixup";
    case EffectKind::LockBox: return "lock-box";
    case EffectKind::Finding: return "FINDING";
    case EffectKind::Fault: return "FAULT";
    case EffectKind::VariableRead: return "variable-read";
    case EffectKind::ImageUnload: return "unload";
    case EffectKind::SleepState: return "sleep";
  }
  return "?";
}

}  // namespace sim
