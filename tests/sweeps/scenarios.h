// The scenarios every fault sweep runs: one line per scenario in Scenarios(), so a new
// image (or another engine running the same images) adds lines, not sweeps. A scenario
// builds its platform, loads its image and drives it; the outcome lists the statuses
// it saw, by step.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform_sim/platform.h"

namespace sweep {

struct Outcome {
  std::vector<std::pair<std::string, EFI_STATUS>> steps;  // ("entry", status), ...
  bool reset = false;                                     // the scenario ended in a platform reset

  // The status of a step, or nothing when the scenario never got to it.
  const EFI_STATUS *Status(const std::string &step) const;
};

struct Scenario {
  const char *name;
  const char *image;
  sim::PlatformProfile (*profile)();
  Outcome (*run)(sim::Platform &platform, const char *image);
};

const std::vector<Scenario> &Scenarios();

// The scenario list as a gtest parameter name.
inline std::string Name(const Scenario &scenario) { return scenario.name; }

}  // namespace sweep
