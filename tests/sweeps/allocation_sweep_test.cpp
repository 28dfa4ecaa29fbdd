// Allocation failures: each scenario runs once to count the driver's allocations, then
// once for every n with the n-th allocation failing. Every run ends without a crash or
// a sanitizer report, with a failing status where one is due, and with no driver memory
// left beyond what the fault-free run keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform_config/config_protocol.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/support/sim_helpers.h"
#include "tests/sweeps/scenarios.h"

namespace {

struct Request {
  uint64_t size;
  EFI_MEMORY_TYPE type;
  std::string actor;  // image or "platform"
};

// Boot services' allocators, wrapped to log every request of the images in order.
std::vector<Request> gRequests;
EFI_ALLOCATE_POOL gRealAllocatePool = nullptr;
EFI_ALLOCATE_PAGES gRealAllocatePages = nullptr;

EFI_STATUS EFIAPI LogAllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  gRequests.push_back({size, type, sim::Platform::Current().Actor()});
  return gRealAllocatePool(type, size, buffer);
}
EFI_STATUS EFIAPI LogAllocatePages(EFI_ALLOCATE_TYPE how, EFI_MEMORY_TYPE type, UINTN pages,
                                   EFI_PHYSICAL_ADDRESS *memory) {
  gRequests.push_back({pages * 4096, type, sim::Platform::Current().Actor()});
  return gRealAllocatePages(how, type, pages, memory);
}

void LogAllocations(sim::Platform &platform) {
  EFI_BOOT_SERVICES *services = platform.SystemTable()->BootServices;
  gRealAllocatePool = services->AllocatePool;
  gRealAllocatePages = services->AllocatePages;
  services->AllocatePool = LogAllocatePool;
  services->AllocatePages = LogAllocatePages;
  gRequests.clear();
}

using Kept = std::multiset<std::pair<uint64_t, int>>;

Kept LiveDriverMemory(sim::Platform &platform) {
  Kept kept;
  for (const sim::Allocation &block : platform.Memory().DriverAllocations()) kept.insert({block.size, block.type});
  return kept;
}

struct Baseline {
  std::vector<Request> requests;
  sweep::Outcome outcome;
  Kept kept;
};

// The fault-free run of a scenario, once per process.
const Baseline &BaselineOf(const sweep::Scenario &scenario) {
  static std::map<std::string, Baseline> baselines;
  auto found = baselines.find(scenario.name);
  if (found != baselines.end()) return found->second;
  sim::Platform platform(scenario.profile());
  LogAllocations(platform);
  Baseline baseline;
  baseline.outcome = scenario.run(platform, scenario.image);
  baseline.requests = gRequests;
  baseline.kept = LiveDriverMemory(platform);
  if (baseline.requests.size() != platform.Memory().DriverAllocationCount()) {
    ADD_FAILURE() << scenario.name << ": the log and the arena disagree on the allocation count";
  }
  return baselines.emplace(scenario.name, std::move(baseline)).first->second;
}

struct Case {
  const sweep::Scenario *scenario;
  uint64_t nth;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const sweep::Scenario &scenario : sweep::Scenarios()) {
    const Baseline &baseline = BaselineOf(scenario);
    for (uint64_t nth = 1; nth <= baseline.requests.size(); ++nth) cases.push_back({&scenario, nth});
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case> &info) {
  return std::string(info.param.scenario->name) + "_FailAllocation" + std::to_string(info.param.nth);
}

class AllocationSweep : public ::testing::TestWithParam<Case> {};

TEST_P(AllocationSweep, EndsCleanlyWithTheDueStatusAndNoExtraMemory) {
  const sweep::Scenario &scenario = *GetParam().scenario;
  const uint64_t nth = GetParam().nth;
  const Baseline &baseline = BaselineOf(scenario);
  const Request &failing = baseline.requests[nth - 1];
  SCOPED_TRACE("allocation " + std::to_string(nth) + ": " + std::to_string(failing.size) + " bytes of " +
               sim::MemoryTypeName(failing.type));

  sim::Platform platform(scenario.profile());
  platform.Memory().Faults().failNth = nth;
  sweep::Outcome outcome = scenario.run(platform, scenario.image);
  EXPECT_EQ(outcome.reset, baseline.outcome.reset);

  // The statuses due: the entry fails only without its interface (48 bytes); the
  // configuration load only without its 1800-byte scratch record. Everything else the
  // driver lives without (library steps degrade, password provisioning is skipped).
  const bool entryFails = failing.size == 48;
  ASSERT_NE(outcome.Status("entry"), nullptr);
  EXPECT_EQ(*outcome.Status("entry"), entryFails ? EFI_OUT_OF_RESOURCES : EFI_SUCCESS);
  if (entryFails) {
    EXPECT_EQ(outcome.steps.size(), 1u) << "no protocol to call";
    EXPECT_TRUE(simtest::NotifyEvents(platform, scenario.image, gSetupDataProtocolGuid).empty());
    EXPECT_TRUE(simtest::NotifyEvents(platform, scenario.image, gEfiVariableWriteArchProtocolGuid).empty());
  }
  for (const auto &[step, status] : outcome.steps) {
    if (step == "entry") continue;
    const EFI_STATUS *expected = baseline.outcome.Status(step);
    ASSERT_NE(expected, nullptr) << step;
    EFI_STATUS due = step == "load" && failing.size == SETUP_CONFIG_SIZE ? EFI_OUT_OF_RESOURCES : *expected;
    EXPECT_EQ(status, due) << step;
  }

  // Only what the fault-free run keeps may stay allocated.
  Kept kept = LiveDriverMemory(platform);
  EXPECT_TRUE(std::includes(baseline.kept.begin(), baseline.kept.end(), kept.begin(), kept.end()))
      << kept.size() << " blocks live against " << baseline.kept.size() << " without the fault";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, AllocationSweep, ::testing::ValuesIn(Cases()), CaseName);

}  // namespace
