// The SMM boundary the platform checks in every SMI, shown with the tag-store probe: an
// image that, like the store before it kept its own SMRAM copy, follows the shared table
// in an SMI crosses it; the same image at boot time does not.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/images/tag_store_probe.h"
#include "tests/support/sim_helpers.h"

namespace {

constexpr uint32_t kPlog = TAG_STORE_TAG('P', 'L', 'O', 'G');

sim::PlatformProfile SmmPlatform() {
  sim::PlatformProfile profile;
  sim::UseSpiFlash(profile);
  profile.smmBase = true;
  profile.flash.regionFlashSmm = true;
  return profile;
}

TAG_STORE_PROBE *LoadProbe(sim::Platform &platform, bool intoSmram) {
  auto &image = platform.Load("TagStoreProbe", sim::LoadOptions{false, intoSmram});
  EXPECT_EQ(image.entryStatus, EFI_SUCCESS);
  return simtest::Locate<TAG_STORE_PROBE>(platform, gTagStoreProbeProtocolGuid);
}

std::vector<std::string> BoundaryFindings(sim::Platform &platform) {
  std::vector<std::string> findings;
  for (const sim::Effect &effect : platform.Trace().OfKind(sim::EffectKind::Finding)) {
    if (effect.what.rfind("SMM boundary: ", 0) == 0) findings.push_back(effect.what);
  }
  return findings;
}

TEST(SmiBoundary, ADataAccessOutsideSmramInAnSmiIsAFindingNamingTheImage) {
  sim::Platform platform(SmmPlatform());
  TAG_STORE_PROBE *probe = LoadProbe(platform, true);
  ASSERT_NE(probe, nullptr);
  TagStoreEntry *table = simtest::Call(probe->Table);
  ASSERT_FALSE(platform.Memory().InSmram(reinterpret_cast<uint64_t>(table)));
  std::vector<uint8_t> record(512);
  UINT64 size = 0;
  {
    sim::SmiScope smi(platform.Core().Smm());
    EXPECT_TRUE(simtest::Call(probe->Read, kPlog, &size, static_cast<VOID *>(record.data())));
  }
  const std::vector<std::string> findings = BoundaryFindings(platform);
  ASSERT_FALSE(findings.empty());
  char table_page[32];
  std::snprintf(table_page, sizeof(table_page), " 0x%llX",
                static_cast<unsigned long long>(reinterpret_cast<uint64_t>(table)) >> 12);
  bool namesTheTable = false;
  for (const std::string &finding : findings) {
    EXPECT_EQ(finding.rfind("SMM boundary: TagStoreProbe+0x", 0), 0u) << finding;
    namesTheTable = namesTheTable || finding.find(table_page) != std::string::npos;
  }
  EXPECT_TRUE(namesTheTable) << "no finding on the table's page" << table_page;
  EXPECT_EQ(findings, platform.Core().Smm().Boundary().Findings());
}

TEST(SmiBoundary, TheSameReadAtBootTimeIsNoFinding) {
  sim::Platform platform(SmmPlatform());
  TAG_STORE_PROBE *probe = LoadProbe(platform, true);
  ASSERT_NE(probe, nullptr);
  std::vector<uint8_t> record(512);
  UINT64 size = 0;
  EXPECT_TRUE(simtest::Call(probe->Read, kPlog, &size, static_cast<VOID *>(record.data())));
  EXPECT_TRUE(BoundaryFindings(platform).empty());
}

// Runs the call in an SMI and expects it to end in an image fault saying `what`.
template <typename Call>
void ExpectSmmCallOut(sim::Platform &platform, Call call, const std::string &what) {
  sim::SmiScope smi(platform.Core().Smm());
  try {
    call();
    ADD_FAILURE() << "the call ran";
  } catch (const sim::ImageFault &fault) {
    EXPECT_NE(std::string(fault.what()).find(what), std::string::npos) << fault.what();
  }
}

// Host images do not run from the arena: only the emulated engine sees where the
// processor fetches.
TEST(SmiBoundary, CodeOutsideSmramCalledInAnSmiIsAnSmmCallOut) {
  sim::Platform platform(SmmPlatform());
  if (!platform.Emulated()) GTEST_SKIP() << "instruction fetches are seen by the emulated engine only";
  TAG_STORE_PROBE *probe = LoadProbe(platform, false);
  ASSERT_NE(probe, nullptr);
  ExpectSmmCallOut(
      platform, [&] { simtest::Call(probe->EraseBlockSize); }, "SMM call-out: instruction fetch outside SMRAM");
}

TEST(SmiBoundary, ACallThroughABootTimeTableInAnSmiIsAnSmmCallOut) {
  sim::Platform platform(SmmPlatform());
  if (!platform.Emulated()) GTEST_SKIP() << "the host engine does not see host-routine calls";
  TAG_STORE_PROBE *probe = LoadProbe(platform, true);
  ASSERT_NE(probe, nullptr);
  // The store's initialisation looks the shared table up through boot services.
  ExpectSmmCallOut(
      platform, [&] { simtest::Call(probe->Init, static_cast<EFI_HANDLE>(nullptr), platform.SystemTable()); },
      "which no SMRAM table publishes");
}

// The driver itself, through a suspend and a shutdown, stays inside.
TEST(SmiBoundary, ThePowerEventLogsSmisRaiseNoFinding) {
  sim::PlatformProfile profile = SmmPlatform();
  std::vector<uint8_t> log(512, 0xFF);
  std::memcpy(log.data(), "KOVAPLOG", 8);
  profile.flash.contents.push_back({sim::kTagStoreBase + 0x1300, log});
  sim::Platform platform(profile);
  platform.Load("PowerEventLogSmm", sim::LoadOptions{false, true});
  platform.Core().HandOverToOperatingSystem();
  platform.EnterSleepState(3);
  platform.EnterSleepState(5);
  EXPECT_TRUE(BoundaryFindings(platform).empty());
  EXPECT_TRUE(platform.Core().Smm().Faults().empty());
}

}  // namespace
