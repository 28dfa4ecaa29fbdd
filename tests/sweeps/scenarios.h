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
  // Each phase of the scenario (the steps, and what happens between them without a
  // status) with the driver allocations made and the flash commands issued up to its end.
  struct Phase {
    std::string name;
    uint64_t allocations;
    uint64_t flashCommands;
  };
  std::vector<Phase> phases;
  bool reset = false;  // the scenario ended in a platform reset

  void Add(sim::Platform &platform, const std::string &step, EFI_STATUS status) {
    steps.emplace_back(step, status);
    Mark(platform, step);
  }
  void Mark(sim::Platform &platform, const std::string &phase) {
    phases.push_back({phase, platform.Memory().DriverAllocationCount(),
                      platform.Flash().Monitor().Erases() + platform.Flash().Monitor().Programs()});
  }
  // The phase during which the n-th driver allocation was made; empty when none was.
  std::string PhaseOfAllocation(uint64_t nth) const;

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
