#include "platform_sim/smm/smi_boundary.h"

#include "platform_sim/memory/arena.h"
#include "platform_sim/platform.h"
#include "platform_sim/smm/host_smram_guard.h"
#include "platform_sim/smm/smm_core.h"
#include "platform_sim/trace/hex_text.h"

namespace sim {

void SmiBoundary::Enter() {
  if (depth_++ > 0) return;
  Arena &arena = platform_.Memory();
  if (platform_.Emulated()) {
    platform_.Emulation().EnterSmmBoundary([this](const std::string &image, uint64_t offset, uint64_t address,
                                                  bool write) { Report(image, offset, address, write); });
    return;
  }
  std::vector<HostCodeRange> code;
  for (const ImageRange &range : platform_.ImageRanges()) {
    if (range.boot == platform_.BootNumber()) code.push_back({range.base, range.base + range.size});
  }
  GuardHostRange(Arena::kBase, arena.SmramBase(), code);
}

void SmiBoundary::Leave() {
  if (depth_ == 0 || --depth_ > 0) return;
  if (platform_.Emulated()) {
    platform_.Emulation().LeaveSmmBoundary();
    return;
  }
  for (const HostGuardedAccess &access : ReleaseHostRange()) {
    std::string image = "?";
    uint64_t offset = 0;
    for (const ImageRange &range : platform_.ImageRanges()) {
      if (range.boot == platform_.BootNumber() && access.rip >= range.base && access.rip - range.base < range.size) {
        image = range.name;
        offset = access.rip - range.base;
      }
    }
    Report(image, offset, access.address, access.write);
  }
}

void SmiBoundary::Report(const std::string &image, uint64_t offset, uint64_t address, bool write) {
  std::string what = "SMM boundary: " + image + "+" + HexNumber(offset) + (write ? " writes " : " reads ") +
                     HexNumber(address) + ", outside SMRAM, in an SMI";
  findings_.push_back(what);
  // Recorded, never thrown: the host engine learns of its findings as the SMI ends.
  platform_.Record(EffectKind::Finding, what, address);
}

SmiScope::SmiScope(SmmCore &smm) : smm_(smm), wasActive_(smm.Active()) {
  smm_.SetActive(true);
  smm_.Boundary().Enter();
}

SmiScope::~SmiScope() {
  smm_.Boundary().Leave();
  smm_.SetActive(wasActive_);
}

}  // namespace sim
