// Allocation failures: each scenario runs once to count the driver's allocations (boot
// services pool and pages, SMRAM pool and pages), then once for every n with the n-th
// allocation failing. Every run ends without a crash or a sanitizer report, with a
// failing status where one is due, and with no driver memory left beyond what the
// fault-free run keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "disk_info/disk_info.h"
#include "platform_config/config_protocol.h"
#include "power_event_log/power_event_log.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tagstore/tag_store_internal.h"
#include "tests/support/sim_helpers.h"
#include "tests/sweeps/case_cache.h"
#include "tests/sweeps/scenarios.h"
#include "tests/support/case_names.h"

namespace {

struct Request {
  uint64_t size = 0;
  EFI_MEMORY_TYPE type = EfiBootServicesData;
  std::string actor;  // image or "platform"
  bool smram = false;
  bool service = false;  // made by a platform service on the image's behalf, not asked for by it
};

// Every driver allocation of the arena by its 1-based number: those the images ask for
// through the boot and SMM services are logged by wrappers; the rest are made inside
// services they called (the HII database's copies, for one).
std::map<uint64_t, Request> gRequests;
EFI_ALLOCATE_POOL gRealAllocatePool = nullptr;
EFI_ALLOCATE_PAGES gRealAllocatePages = nullptr;
EFI_ALLOCATE_POOL gRealSmmAllocatePool = nullptr;
EFI_ALLOCATE_PAGES gRealSmmAllocatePages = nullptr;

void LogRequest(uint64_t size, EFI_MEMORY_TYPE type, bool smram) {
  sim::Platform &platform = sim::Platform::Current();
  gRequests[platform.Memory().DriverAllocationCount() + 1] = {size, type, platform.Actor(), smram, false};
}

EFI_STATUS EFIAPI LogAllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  LogRequest(size, type, false);
  return gRealAllocatePool(type, size, buffer);
}
EFI_STATUS EFIAPI LogAllocatePages(EFI_ALLOCATE_TYPE how, EFI_MEMORY_TYPE type, UINTN pages,
                                   EFI_PHYSICAL_ADDRESS *memory) {
  LogRequest(pages * 4096, type, false);
  return gRealAllocatePages(how, type, pages, memory);
}
EFI_STATUS EFIAPI LogSmmAllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  LogRequest(size, type, true);
  return gRealSmmAllocatePool(type, size, buffer);
}
EFI_STATUS EFIAPI LogSmmAllocatePages(EFI_ALLOCATE_TYPE how, EFI_MEMORY_TYPE type, UINTN pages,
                                      EFI_PHYSICAL_ADDRESS *memory) {
  LogRequest(pages * 4096, type, true);
  return gRealSmmAllocatePages(how, type, pages, memory);
}

void LogAllocations(sim::Platform &platform) {
  EFI_BOOT_SERVICES *services = platform.SystemTable()->BootServices;
  gRealAllocatePool = services->AllocatePool;
  gRealAllocatePages = services->AllocatePages;
  services->AllocatePool = LogAllocatePool;
  services->AllocatePages = LogAllocatePages;
  if (EFI_SMM_SYSTEM_TABLE2 *smst = platform.Core().Smst()) {
    gRealSmmAllocatePool = smst->SmmAllocatePool;
    gRealSmmAllocatePages = smst->SmmAllocatePages;
    smst->SmmAllocatePool = LogSmmAllocatePool;
    smst->SmmAllocatePages = LogSmmAllocatePages;
  }
  gRequests.clear();
}

using Kept = std::multiset<std::pair<uint64_t, int>>;

Kept LiveDriverMemory(sim::Platform &platform) {
  Kept kept;
  for (const sim::Allocation &block : platform.Memory().DriverAllocations()) kept.insert({block.size, block.type});
  return kept;
}

std::string Text(const Kept &kept) {
  std::string text;
  for (const auto &[size, type] : kept) {
    text += " " + std::to_string(size) + "/" + sim::MemoryTypeName(static_cast<EFI_MEMORY_TYPE>(type));
  }
  return text;
}

struct Baseline {
  std::vector<Request> requests;  // by number, from 1
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
  baseline.kept = LiveDriverMemory(platform);
  for (uint64_t nth = 1; nth <= platform.Memory().DriverAllocationCount(); ++nth) {
    auto logged = gRequests.find(nth);
    if (logged != gRequests.end()) {
      baseline.requests.push_back(logged->second);
    } else {
      baseline.requests.push_back({0, EfiBootServicesData, "platform", false, true});
    }
  }
  return baselines.emplace(scenario.name, std::move(baseline)).first->second;
}

// Whether the entry of the scenario's image must fail when this allocation fails: only
// without the interface it publishes.
bool EntryFails(const sweep::Scenario &scenario, const Request &failing, const std::string &phase) {
  const std::string image = scenario.image;
  if (failing.service) return false;
  if (image == "PlatformConfigDxe") return failing.size == 48;
  if (image == "PowerEventLogSmm") {
    // The interface, or the store's own copy in SMRAM that every append works on.
    return phase == "entry" && failing.smram &&
           (failing.size == sizeof(POWER_EVENT_LOG_PROTOCOL) || failing.size == sizeof(TAG_STORE_SMRAM_COPY));
  }
  if (image == "DiskInfoSetupDxe") return phase == "entry" && failing.size == sizeof(DiskInfoPrivate);
  ADD_FAILURE() << "no allocation rules for " << image;
  return false;
}

// The status due for a later step: the fault-free one, unless the step needed the
// memory itself (or lost what it reports on).
EFI_STATUS DueStatus(const sweep::Scenario &scenario, const std::string &step, const Request &failing,
                     const std::string &phase, EFI_STATUS faultFree, sim::Platform &platform) {
  const std::string image = scenario.image;
  if (image == "PlatformConfigDxe") {
    // The configuration load without its 1800-byte scratch record.
    return step == "load" && failing.size == SETUP_CONFIG_SIZE ? EFI_OUT_OF_RESOURCES : faultFree;
  }
  // Without its list of SMRAM ranges the SMM driver cannot check its own store: every
  // append is refused.
  if (image == "PowerEventLogSmm" && phase == "entry" && failing.smram &&
      failing.size == sizeof(EFI_SMRAM_DESCRIPTOR)) {
    return EFI_ACCESS_DENIED;
  }
  if (image == "DiskInfoSetupDxe" && step == "fill") {
    // The form's own buffers: the op-code handle, its buffer, the line.
    if (phase == "fill" && (failing.size == sizeof(OpCodeHandle) || failing.size == OPCODE_HANDLE_INITIAL_SIZE ||
                            failing.size == LINE_BUFFER_SIZE)) {
      return EFI_OUT_OF_RESOURCES;
    }
    // FillForm answers with the optical drive's lookup: a scan that lost the optical
    // drive to the fault answers that it has none.
    auto *form = simtest::Locate<DISK_INFO_FORM_PROTOCOL>(platform, gDiskInfoFormProtocolGuid);
    if (form != nullptr && PrivateFromForm(form)->OpticalCount == 0) return EFI_INVALID_PARAMETER;
  }
  return faultFree;
}

struct Case {
  const sweep::Scenario *scenario;
  uint64_t nth;
};

// The allocations of a scenario's fault-free run, counted on the host engine: every test
// process builds the case list, and the emulated engine would take seconds for it. Each
// engine's own count is checked against it (CaseListFitsThisEngine).
uint64_t HostAllocationCount(const sweep::Scenario &scenario) {
  sim::PlatformProfile profile = scenario.profile();
  profile.engine = sim::Engine::Host;
  sim::Platform platform(profile);
  scenario.run(platform, scenario.image);
  return platform.Memory().DriverAllocationCount();
}

std::vector<Case> Cases() {
  std::istringstream counts(sweep::CachedCaseList("allocations", [] {
    std::string text;
    for (const sweep::Scenario &scenario : sweep::Scenarios()) {
      text += std::to_string(HostAllocationCount(scenario)) + "\n";
    }
    return text;
  }));
  std::vector<Case> cases;
  for (const sweep::Scenario &scenario : sweep::Scenarios()) {
    uint64_t count = 0;
    counts >> count;
    for (uint64_t nth = 1; nth <= count; ++nth) cases.push_back({&scenario, nth});
  }
  return cases;
}

TEST(AllocationSweepCases, CaseListFitsThisEngine) {
  for (const sweep::Scenario &scenario : sweep::Scenarios()) {
    SCOPED_TRACE(scenario.name);
    EXPECT_EQ(BaselineOf(scenario).requests.size(), HostAllocationCount(scenario));
  }
}

std::string NameOf(const Case &c) { return std::string(c.scenario->name) + "_FailAllocation" + std::to_string(c.nth); }
SIMTEST_PRINTS_CASE(Case)

class AllocationSweep : public ::testing::TestWithParam<Case> {};

TEST_P(AllocationSweep, EndsCleanlyWithTheDueStatusAndNoExtraMemory) {
  const sweep::Scenario &scenario = *GetParam().scenario;
  const uint64_t nth = GetParam().nth;
  const Baseline &baseline = BaselineOf(scenario);
  ASSERT_LE(nth, baseline.requests.size()) << "the case list does not fit this engine";
  const Request &failing = baseline.requests[nth - 1];
  const std::string phase = baseline.outcome.PhaseOfAllocation(nth);
  SCOPED_TRACE("allocation " + std::to_string(nth) + ": " +
               (failing.service ? std::string("inside a service call")
                                : std::to_string(failing.size) + " bytes of " + sim::MemoryTypeName(failing.type) +
                                      (failing.smram ? " in SMRAM" : "")) +
               " during " + phase);

  sim::Platform platform(scenario.profile());
  platform.Memory().Faults().failNth = nth;
  sweep::Outcome outcome = scenario.run(platform, scenario.image);
  EXPECT_EQ(outcome.reset, baseline.outcome.reset);

  // The statuses due: the entry fails only without the interface it publishes.
  // Everything else the drivers live without (library steps degrade, password
  // provisioning is skipped, a drive whose scan lacked memory is left out).
  const bool entryFails = EntryFails(scenario, failing, phase);
  ASSERT_NE(outcome.Status("entry"), nullptr);
  EXPECT_EQ(*outcome.Status("entry"), entryFails ? EFI_OUT_OF_RESOURCES : EFI_SUCCESS);
  if (entryFails) {
    EXPECT_EQ(outcome.steps.size(), 1u) << "no protocol to call, no handler registered";
    // A failed entry leaves no notification behind to call into the unloaded image.
    for (const EFI_GUID *guid : {&gSetupDataProtocolGuid, &gEfiVariableWriteArchProtocolGuid, &gEfiDiskInfoProtocolGuid,
                                 &gEfiAtaPassThruProtocolGuid, &gEfiNvmExpressPassThruProtocolGuid}) {
      EXPECT_TRUE(simtest::NotifyEvents(platform, scenario.image, *guid).empty());
    }
  }
  for (const auto &[step, status] : outcome.steps) {
    if (step == "entry") continue;
    const EFI_STATUS *expected = baseline.outcome.Status(step);
    ASSERT_NE(expected, nullptr) << step;
    EXPECT_EQ(status, DueStatus(scenario, step, failing, phase, *expected, platform)) << step;
  }

  // Only what the fault-free run keeps may stay allocated: the same blocks or fewer.
  // A table that grows one record at a time keeps its last size when a grow fails (the
  // disk-info controller table: its first record is boot-services pool, the grown ones
  // runtime pool), so there no more blocks and no more bytes than without the fault.
  Kept kept = LiveDriverMemory(platform);
  auto bytes = [](const Kept &blocks) {
    uint64_t total = 0;
    for (const auto &block : blocks) total += block.first;
    return total;
  };
  const bool fewer = std::string(scenario.image) == "DiskInfoSetupDxe"
                         ? kept.size() <= baseline.kept.size() && bytes(kept) <= bytes(baseline.kept)
                         : std::includes(baseline.kept.begin(), baseline.kept.end(), kept.begin(), kept.end());
  EXPECT_TRUE(fewer) << kept.size() << " blocks live against " << baseline.kept.size()
                     << " without the fault:" << Text(kept) << " against" << Text(baseline.kept);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, AllocationSweep, ::testing::ValuesIn(Cases()), simtest::CaseName<Case>);

}  // namespace
