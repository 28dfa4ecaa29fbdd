// PowerEventLogSmm's PCD and SMRAM-range initialisers, its SMM-aware free and its
// tear-down list, run through the SMM probe image.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"
#include "tests/support/sim_helpers.h"

namespace {

constexpr char kProbe[] = "RuntimeProbeSmm";

sim::PlatformProfile SmmProfile() {
  sim::PlatformProfile profile;
  profile.smmBase = true;
  return profile;
}

PROBE_SMM_STATE SmmState(sim::Platform &platform) {
  auto state = simtest::ReadVariable<PROBE_SMM_STATE>(platform, u"ProbeSmmState", gProbeVariableGuid);
  EXPECT_TRUE(state.has_value()) << "the probe's driver entry did not run";
  return state.value_or(PROBE_SMM_STATE{});
}

uint64_t Interface(sim::Platform &platform, const EFI_GUID &guid) {
  return reinterpret_cast<uint64_t>(simtest::Locate<void>(platform, guid));
}

std::vector<sim::Allocation> SmramBlocks(sim::Platform &platform) {
  std::vector<sim::Allocation> blocks;
  for (const sim::Allocation &block : platform.Memory().DriverAllocations()) {
    if (block.region == sim::Region::Smram) blocks.push_back(block);
  }
  return blocks;
}

TEST(PcdProtocols, ARuntimeImageOutsideSmmKeepsTheFourPointersAndConvertsThemAtTheVirtualSwitch) {
  sim::Platform platform(SmmProfile());
  platform.Load(kProbe, sim::LoadOptions{true, false});
  PROBE_SMM_STATE state = SmmState(platform);
  std::set<uint64_t> interfaces = {Interface(platform, gPcdProtocolGuid), Interface(platform, gEfiPcdProtocolGuid),
                                   Interface(platform, gPcdInfoProtocolGuid),
                                   Interface(platform, gEfiGetPcdInfoProtocolGuid)};
  EXPECT_EQ(state.Pcd, Interface(platform, gPcdProtocolGuid));
  EXPECT_EQ(state.PiPcd, Interface(platform, gEfiPcdProtocolGuid));
  EXPECT_EQ(state.PcdInfo, Interface(platform, gPcdInfoProtocolGuid));
  EXPECT_EQ(state.PiPcdInfo, Interface(platform, gEfiGetPcdInfoProtocolGuid));
  ASSERT_EQ(interfaces.size(), 4u);
  EXPECT_TRUE(platform.Core().VirtualAddresses().Conversions().empty());

  ASSERT_EQ(platform.Core().SetVirtualAddressMap(), EFI_SUCCESS);
  const auto &conversions = platform.Core().VirtualAddresses().Conversions();
  ASSERT_EQ(conversions.size(), 4u);
  std::set<uint64_t> values;
  std::set<uint64_t> variables;
  for (const sim::PointerConversion &conversion : conversions) {
    EXPECT_EQ(conversion.caller, kProbe);
    EXPECT_EQ(conversion.disposition, 0u);
    EXPECT_EQ(conversion.status, EFI_SUCCESS);
    values.insert(conversion.value);
    variables.insert(conversion.variable);
  }
  EXPECT_EQ(values, interfaces) << "the addresses of the four pointer variables, not their values";
  EXPECT_EQ(variables.size(), 4u);
}

struct PcdCase {
  const char *name;
  bool runtimeImage;
  bool smm;
  bool smst;
};

TEST(PcdProtocols, OnlyARuntimeImageOutsideSmmConvertsAndInsideSmmTheSmmTableIsKept) {
  const PcdCase cases[] = {{"boot-services image", false, false, false},
                           {"runtime image in SMM", true, true, true},
                           {"boot-services image in SMM", false, true, true}};
  for (const PcdCase &test : cases) {
    SCOPED_TRACE(test.name);
    sim::Platform platform(SmmProfile());
    platform.Load(kProbe, sim::LoadOptions{test.runtimeImage, test.smm});
    EXPECT_EQ(SmmState(platform).Pcd, Interface(platform, gPcdProtocolGuid));
    auto probeState = simtest::ReadVariable<PROBE_STATE>(platform, u"ProbeState", gProbeVariableGuid);
    ASSERT_TRUE(probeState.has_value());
    EXPECT_EQ(probeState->Smst != 0, test.smst);
    platform.Core().SetVirtualAddressMap();
    EXPECT_TRUE(platform.Core().VirtualAddresses().Conversions().empty());
  }
}

TEST(SmramRanges, InsideSmmTheRangesOfTheAccessProtocolAreKeptInSmramPool) {
  sim::Platform platform(SmmProfile());
  platform.Load(kProbe, sim::LoadOptions{false, true});
  PROBE_SMM_STATE state = SmmState(platform);
  ASSERT_EQ(state.SmramRangeCount, 1u);
  EFI_SMRAM_DESCRIPTOR range;
  std::memcpy(&range, reinterpret_cast<const void *>(state.SmramRanges), sizeof(range));
  EFI_SMRAM_DESCRIPTOR expected = platform.Core().Smram().Descriptors()[0];
  EXPECT_EQ(std::memcmp(&range, &expected, sizeof(range)), 0);
  const sim::Allocation *block = platform.Memory().Find(state.SmramRanges);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->region, sim::Region::Smram);
  EXPECT_EQ(block->type, EfiRuntimeServicesData);
  EXPECT_EQ(block->size, 32u);
}

TEST(SmramRanges, OutsideSmmOrWithoutTheAccessProtocolTheListStaysEmpty) {
  sim::PlatformProfile noAccess = SmmProfile();
  noAccess.smmAccess = false;
  for (auto [profile, smm] : {std::pair{SmmProfile(), false}, std::pair{noAccess, true}}) {
    sim::Platform platform(profile);
    platform.Load(kProbe, sim::LoadOptions{false, smm});
    EXPECT_EQ(SmmState(platform).SmramRangeCount, 0u);
    EXPECT_EQ(SmmState(platform).SmramRanges, 0u);
    EXPECT_TRUE(SmramBlocks(platform).empty());
  }
}

// The free routine decides by the SMRAM list: a boot-services buffer goes back to boot
// services even inside SMM, an SMRAM buffer to SMRAM pool. Without the list an SMRAM
// buffer would be offered to boot services, which refuse it.
TEST(SmmAwareFree, EachBufferGoesBackToThePoolItCameFrom) {
  for (bool withList : {true, false}) {
    SCOPED_TRACE(withList ? "with the SMRAM list" : "without the SMRAM list");
    sim::PlatformProfile profile = SmmProfile();
    profile.smmAccess = withList;
    sim::Platform platform(profile);
    platform.Load(kProbe, sim::LoadOptions{false, true});
    auto *probe = simtest::Locate<RUNTIME_PROBE_SMM>(platform, gSmmProbeProtocolGuid);
    ASSERT_NE(probe, nullptr);
    void *boot = platform.Memory().AllocatePool(EfiBootServicesData, 24);
    void *smram = platform.Memory().AllocatePool(EfiRuntimeServicesData, 24, sim::Region::Smram);
    simtest::Call(probe->FreePool, boot);
    simtest::Call(probe->FreePool, smram);
    EXPECT_EQ(platform.Memory().Find(reinterpret_cast<uint64_t>(boot)), nullptr);
    EXPECT_EQ(platform.Memory().Find(reinterpret_cast<uint64_t>(smram)) == nullptr, withList);
  }
}

TEST(SmmTearDown, AFailedEntryFreesTheRangeListBeforeTheProbeNotesItsTearDown) {
  sim::Platform platform(SmmProfile());
  simtest::PutVariable<uint64_t>(platform, u"ProbeEntryStatus", gProbeVariableGuid, EFI_UNSUPPORTED);
  EXPECT_EQ(platform.Load(kProbe, sim::LoadOptions{false, true}).entryStatus, EFI_UNSUPPORTED);
  ASSERT_NE(SmmState(platform).SmramRanges, 0u);
  EXPECT_TRUE(SmramBlocks(platform).empty()) << "the descriptor buffer was not freed";
  EXPECT_NE(platform.Variables().Find(u"ProbeTearDown", gProbeVariableGuid), nullptr);
}

TEST(SmmTearDown, AFailedEntryOutsideSmmClosesTheVirtualAddressChangeEventFirst) {
  sim::Platform platform(SmmProfile());
  simtest::PutVariable<uint64_t>(platform, u"ProbeEntryStatus", gProbeVariableGuid, EFI_DEVICE_ERROR);
  platform.Load(kProbe, sim::LoadOptions{true, false});
  platform.Core().SetVirtualAddressMap();
  EXPECT_TRUE(platform.Core().VirtualAddresses().Conversions().empty());

  const auto &effects = platform.Trace().All();
  auto closed = std::find_if(effects.begin(), effects.end(),
                             [](const sim::Effect &e) { return e.kind == sim::EffectKind::EventClosed; });
  auto marker = std::find_if(effects.begin(), effects.end(), [](const sim::Effect &e) {
    return e.kind == sim::EffectKind::VariableWrite && e.what.rfind("ProbeTearDown", 0) == 0;
  });
  ASSERT_NE(closed, effects.end());
  ASSERT_NE(marker, effects.end());
  EXPECT_LT(closed - effects.begin(), marker - effects.begin());
}

}  // namespace
