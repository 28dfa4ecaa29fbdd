// The generic image entry: initialiser lists, the tables they capture, the TSC
// frequency, and the exit context of the SMM deliverable.
#include <gtest/gtest.h>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/case_names.h"

namespace {

using simtest::CountEffects;
using simtest::IndexOf;

PROBE_STATE ProbeState(sim::Platform &platform) {
  auto state = simtest::ReadVariable<PROBE_STATE>(platform, u"ProbeState", gProbeVariableGuid);
  EXPECT_TRUE(state.has_value()) << "the probe's driver entry did not run";
  return state.value_or(PROBE_STATE{});
}

uint64_t TscTableValue(sim::Platform &platform) {
  auto *table = static_cast<uint64_t *>(platform.Core().FindConfigurationTable(gTscFrequencyGuid));
  return table == nullptr ? 0 : *table;
}

TEST(ImageEntry, MissingTablesAndProtocolsLeaveNullPointersAndTheDriverStillStarts) {
  sim::PlatformProfile profile;
  profile.hobList = false;
  profile.dxeServices = false;
  profile.hiiProtocols = false;
  sim::Platform platform(profile);
  auto &image = platform.Load("RuntimeProbeDxe");
  EXPECT_EQ(image.entryStatus, EFI_SUCCESS);
  PROBE_STATE state = ProbeState(platform);
  EXPECT_EQ(state.SystemTable, reinterpret_cast<uint64_t>(platform.SystemTable()));
  EXPECT_EQ(state.BootServices, reinterpret_cast<uint64_t>(platform.SystemTable()->BootServices));
  EXPECT_EQ(state.RuntimeServices, reinterpret_cast<uint64_t>(platform.SystemTable()->RuntimeServices));
  EXPECT_EQ(state.HobList, 0u);
  EXPECT_EQ(state.DxeServices, 0u);
  EXPECT_EQ(state.HiiString | state.HiiDatabase | state.HiiConfigRouting | state.HiiFont | state.HiiImage, 0u);
}

TEST(ImageEntry, TablesAndHiiProtocolsAreCapturedWhenPresent) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Load("RuntimeProbeDxe");
  PROBE_STATE state = ProbeState(platform);
  EXPECT_EQ(state.HobList, reinterpret_cast<uint64_t>(platform.Core().FindConfigurationTable(gEfiHobListGuid)));
  EXPECT_EQ(state.DxeServices,
            reinterpret_cast<uint64_t>(platform.Core().FindConfigurationTable(gEfiDxeServicesTableGuid)));
  EXPECT_NE(state.HiiString, 0u);
  EXPECT_NE(state.HiiImage, 0u);
  EXPECT_EQ(state.TscFrequency, 0u) << "this deliverable carries no TSC initialiser";
}

TEST(ImageEntry, PlatformConfigListRunsHiiLookupsInOrderBeforeTheTscStepAndTheDriverEntry) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Load("PlatformConfigDxe");
  const auto &log = platform.Core().CallLog();
  std::vector<size_t> order = {
      IndexOf(log, "LocateProtocol HiiString"),        IndexOf(log, "LocateProtocol HiiDatabase"),
      IndexOf(log, "LocateProtocol HiiConfigRouting"), IndexOf(log, "LocateProtocol HiiFont"),
      IndexOf(log, "LocateProtocol HiiImage"),         IndexOf(log, "InstallConfigurationTable TscFrequency"),
      IndexOf(log, "LocateProtocol VariableWriteArch")};
  for (size_t index = 0; index < order.size(); ++index) ASSERT_LT(order[index], log.size()) << index;
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

TEST(TscFrequency, AnInstalledTableIsReusedWithoutMeasuringOrPublishingAgain) {
  sim::PlatformProfile profile;
  profile.tscFrequencyTable = 1234567890ull;
  sim::Platform platform(profile);
  platform.Bus().SetLogging(true);
  platform.Load("RuntimeProbeSmm");
  EXPECT_EQ(ProbeState(platform).TscFrequency, 1234567890ull);
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::ConfigTableInstall), 0u);
  for (const sim::BusAccess &access : platform.Bus().Log()) {
    bool port = access.kind == sim::BusAccess::Kind::IoRead || access.kind == sim::BusAccess::Kind::IoWrite;
    EXPECT_FALSE(port && (access.address == 0x42 || access.address == 0x43 || access.address == 0x61))
        << "the timer was touched";
  }
}

TEST(TscFrequency, TheGuidHobSuppliesTheFrequencyAndTheTableIsPublished) {
  sim::PlatformProfile profile;
  profile.tscFrequencyHob = 3000000000ull;
  sim::Platform platform(profile);
  platform.Load("PlatformConfigDxe");
  EXPECT_EQ(TscTableValue(platform), 3000000000ull);
  EXPECT_EQ(platform.Timer().Count(), 0) << "no measurement was needed";
}

TEST(TscFrequency, MeasuredAgainstTheTimerWithinATenthOfAPercentAndSharedWithTheNextImage) {
  for (uint64_t hz : {1000000000ull, 2400000000ull, 3700000000ull}) {
    sim::PlatformProfile profile;
    profile.tscHz = hz;
    sim::Platform platform(profile);
    platform.Load("RuntimeProbeSmm");
    uint64_t measured = ProbeState(platform).TscFrequency;
    EXPECT_NEAR(static_cast<double>(measured), static_cast<double>(hz), hz * 0.001) << hz;
    EXPECT_EQ(TscTableValue(platform), measured);
    EXPECT_TRUE(platform.Processor().InterruptsEnabled()) << "interrupts restored";
    EXPECT_EQ(platform.Timer().SystemControl() & 0x03, 0) << "port 0x61 restored";

    platform.Load("RuntimeProbeSmm");
    EXPECT_EQ(ProbeState(platform).TscFrequency, measured);
    EXPECT_EQ(CountEffects(platform, sim::EffectKind::ConfigTableInstall), 1u);
  }
}

TEST(TscFrequency, ATimerThatNeverFiresLeavesZeroAndPublishesNothing) {
  sim::PlatformProfile profile;
  profile.pitStuck = true;
  profile.interruptsEnabled = false;
  sim::Platform platform(profile);
  auto &image = platform.Load("RuntimeProbeSmm");
  EXPECT_EQ(image.entryStatus, EFI_SUCCESS);
  EXPECT_EQ(ProbeState(platform).TscFrequency, 0u);
  EXPECT_EQ(platform.Core().FindConfigurationTable(gTscFrequencyGuid), nullptr);
  for (const sim::Allocation &block : platform.Memory().DriverAllocations()) {
    EXPECT_FALSE(block.type == EfiBootServicesData && block.size == 8) << "the frequency buffer was not freed";
  }
  EXPECT_FALSE(platform.Processor().InterruptsEnabled()) << "interrupts were off before and stay off";
}

struct ExitCase {
  EFI_STATUS driverStatus;
  bool tearDown;
};
std::string NameOf(const ExitCase &c) { return sim::StatusText(c.driverStatus); }
SIMTEST_PRINTS_CASE(ExitCase)

class ExitContext : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitContext, ImageEntryReturnsTheDriverStatusAndTearsDownOnlyOnError) {
  sim::Platform platform(sim::PlatformProfile{});
  simtest::PutVariable<uint64_t>(platform, u"ProbeEntryStatus", gProbeVariableGuid, GetParam().driverStatus);
  auto &image = platform.Load("RuntimeProbeSmm");
  EXPECT_EQ(image.entryStatus, GetParam().driverStatus);
  bool tornDown = platform.Variables().Find(u"ProbeTearDown", gProbeVariableGuid) != nullptr;
  EXPECT_EQ(tornDown, GetParam().tearDown);
}

INSTANTIATE_TEST_SUITE_P(Statuses, ExitContext,
                         ::testing::Values(ExitCase{EFI_SUCCESS, false}, ExitCase{EFI_UNSUPPORTED, true},
                                           ExitCase{EFI_DEVICE_ERROR, true}, ExitCase{EFI_WARN_STALE_DATA, false}),
                         simtest::CaseName<ExitCase>);

TEST(SmmServices, TheSmmTableIsKeptOnlyWhenTheImageRunsInsideSmm) {
  sim::PlatformProfile profile;
  profile.smmBase = true;
  sim::Platform platform(profile);
  platform.Load("RuntimeProbeSmm", sim::LoadOptions{false, true});
  EXPECT_EQ(ProbeState(platform).Smst, reinterpret_cast<uint64_t>(platform.Core().Smst()));
  EXPECT_NE(ProbeState(platform).Smst, 0u);

  platform.Load("RuntimeProbeSmm", sim::LoadOptions{false, false});
  EXPECT_EQ(ProbeState(platform).Smst, 0u);
  const auto &log = platform.Core().CallLog();
  EXPECT_LT(IndexOf(log, "LocateProtocol SmmBase2"), log.size());
}

}  // namespace
