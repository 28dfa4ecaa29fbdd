// A behaviour of the firmware core as one table row: what a caller does on a fresh
// platform, the status it must get, and how many findings and faults it leaves.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"
#include "tests/support/sim_helpers.h"

namespace simtest {

struct Behaviour {
  const char *name;
  std::function<EFI_STATUS(sim::Platform &)> act;  // may check more on the way
  EFI_STATUS expected;
  size_t findings = 0;
  size_t faults = 0;
  bool variableWriteAtBoot = true;
};

inline void PrintTo(const Behaviour &row, std::ostream *out) { *out << row.name; }
inline std::string BehaviourName(const ::testing::TestParamInfo<Behaviour> &info) { return info.param.name; }

inline void RunBehaviour(const Behaviour &row) {
  sim::PlatformProfile profile;
  profile.variableWriteAtBoot = row.variableWriteAtBoot;
  sim::Platform platform(profile);
  EXPECT_EQ(sim::StatusText(row.act(platform)), sim::StatusText(row.expected));
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::Finding), row.findings);
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::Fault), row.faults);
}

inline EFI_BOOT_SERVICES *Bs(sim::Platform &platform) { return platform.Core().BootServices(); }
inline EFI_RUNTIME_SERVICES *Rt(sim::Platform &platform) { return platform.SystemTable()->RuntimeServices; }

}  // namespace simtest
