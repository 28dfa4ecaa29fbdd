// The SMM entry and the Sx handler, driven the way the platform drives them: the SMM
// dispatcher loads the image into SMRAM, the operating system writes SLP_TYP and SLP_EN,
// and the Sx dispatcher runs the handlers inside the SMI.
#include <gtest/gtest.h>

#include "tests/images/power_event_log_probe.h"
#include "tests/power_event_log/log_fixture.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/case_names.h"

namespace {

using namespace logtest;

TEST(PowerEventLogEntry, OutsideSmramSucceedsAndInstallsAndRegistersNothing) {
  sim::Platform platform(SmmProfile());
  auto before = Span(platform);
  EXPECT_EQ(LoadDriver(platform, false).entryStatus, EFI_SUCCESS);
  EXPECT_EQ(LogProtocol(platform), nullptr);
  EXPECT_TRUE(platform.Core().SxDispatch().Registrations().empty());
  EXPECT_EQ(Span(platform), before);
}

// After its entry the driver lives in SMIs while the operating system owns boot-time
// memory: it keeps no pointer there, and still logs. Loaded outside SMRAM it is an
// ordinary boot-time image and keeps its services.
TEST(PowerEventLogEntry, AfterItsEntryInSmramTheDriverKeepsNoBootTimePointer) {
  for (bool intoSmram : {true, false}) {
    SCOPED_TRACE(intoSmram ? "in SMRAM" : "outside SMRAM");
    sim::Platform platform(SmmProfile());
    auto &image = platform.Load("PowerEventLogProbe", sim::LoadOptions{false, intoSmram});
    ASSERT_EQ(image.entryStatus, EFI_SUCCESS);
    auto *probe = simtest::Locate<POWER_EVENT_LOG_PROBE>(platform, gPowerEventLogProbeProtocolGuid);
    ASSERT_NE(probe, nullptr);
    POWER_EVENT_LOG_PROBE_POINTERS kept{};
    simtest::Call(probe->BootTimePointers, &kept);
    const UINT64 pointers[] = {kept.SystemTable, kept.BootServices, kept.RuntimeServices,
                               kept.DxeServices, kept.HobList,      kept.Pcd,
                               kept.PiPcd,       kept.PcdInfo,      kept.PiPcdInfo};
    if (!intoSmram) {
      EXPECT_NE(kept.SystemTable, 0u);
      EXPECT_NE(kept.BootServices, 0u);
      EXPECT_NE(kept.RuntimeServices, 0u);
      continue;
    }
    for (size_t index = 0; index < sizeof(pointers) / sizeof(pointers[0]); ++index) {
      EXPECT_EQ(pointers[index], 0u) << "pointer " << index;
    }
    {
      platform.Core().HandOverToOperatingSystem();
      platform.EnterSleepState(3);
      EXPECT_EQ(ReadLog(platform).Slot[1].Event, POWER_EVENT_S3_ENTRY);
      EXPECT_TRUE(platform.Core().Smm().Faults().empty());
    }
  }
}

TEST(PowerEventLogEntry, RegistersS0ToS5InOrderThenWritesTheStartRecord) {
  sim::Platform platform(SmmProfile());
  EXPECT_EQ(LoadDriver(platform).entryStatus, EFI_SUCCESS);
  ASSERT_NE(LogProtocol(platform), nullptr);
  std::vector<int> types;
  for (const auto &registration : platform.Core().SxDispatch().Registrations()) {
    types.push_back(registration.context->Type);
    EXPECT_EQ(registration.context->Phase, SxEntry);
    EXPECT_EQ(registration.owner, "PowerEventLogSmm");
  }
  EXPECT_EQ(types, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  PowerEventLogRecord log = ReadLog(platform);
  EXPECT_EQ(log.FreeMap, ~1ull);
  EXPECT_EQ(log.Slot[0].Event, POWER_EVENT_DRIVER_START);
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::Fault), 0u);
}

TEST(PowerEventLogEntry, ARefusedS2RegistrationFailsTheEntryBeforeTheStartRecord) {
  sim::PlatformProfile profile = SmmProfile();
  profile.sxUnsupported.push_back({SxS2, SxEntry});
  sim::Platform platform(profile);
  auto before = Span(platform);
  EXPECT_EQ(LoadDriver(platform).entryStatus, EFI_UNSUPPORTED);
  std::vector<int> types;
  for (const auto &registration : platform.Core().SxDispatch().Registrations())
    types.push_back(registration.context->Type);
  EXPECT_EQ(types, (std::vector<int>{0, 1})) << "S0 and S1 stay registered; S3 to S5 never were";
  EXPECT_NE(LogProtocol(platform), nullptr) << "nothing done before the failure is undone";
  EXPECT_EQ(Span(platform), before) << "no start-up record";
  platform.EnterSleepState(5);
  EXPECT_EQ(Span(platform), before) << "S5 has no handler";
}

struct SleepCase {
  int state;
  bool logs;
};
std::string NameOf(const SleepCase &c) { return "S" + std::to_string(c.state); }
SIMTEST_PRINTS_CASE(SleepCase)

class SleepEntry : public ::testing::TestWithParam<SleepCase> {};

TEST_P(SleepEntry, ThroughTheDispatcherAddsOneRecordForS3ToS5AndNoneBelow) {
  sim::Platform platform(SmmProfile());
  LoadDriver(platform);
  platform.Core().HandOverToOperatingSystem();
  platform.Rtc().SetTime({2026, 8, 17, 22, 41, 5});
  uint64_t smis = platform.Core().Smm().SmiCount();
  platform.EnterSleepState(GetParam().state);
  EXPECT_EQ(platform.Core().Smm().SmiCount(), smis + 1);
  EXPECT_EQ(platform.Pmc().SleepState(), GetParam().state);
  PowerEventLogRecord log = ReadLog(platform);
  if (!GetParam().logs) {
    EXPECT_EQ(log.FreeMap, ~1ull);
    return;
  }
  EXPECT_EQ(log.FreeMap, ~3ull);
  EXPECT_EQ(SlotBytes(log, 1),
            (std::vector<uint8_t>{26, 8, 17, 22, 41, 5, static_cast<uint8_t>(GetParam().state), 0xFF}));
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::Fault), 0u) << "no boot service was called inside the SMI";
}

INSTANTIATE_TEST_SUITE_P(States, SleepEntry,
                         ::testing::Values(SleepCase{0, false}, SleepCase{1, false}, SleepCase{2, false},
                                           SleepCase{3, true}, SleepCase{4, true}, SleepCase{5, true}),
                         simtest::CaseName<SleepCase>);

TEST(SxHandler, S5At070809On3February2027FillsTheSlotAndKeepsByte7) {
  std::vector<uint8_t> record = LogRecord(~0x3ull);
  record[16 + 2 * 8 + 7] = 0x5C;  // slot 2's last byte, as the record held it
  sim::PlatformProfile profile = SmmProfile(std::nullopt);
  profile.flash.contents.push_back({kLogAddress, record});
  sim::Platform platform(profile);
  LoadDriver(platform);  // slot 2 for the start; S5 gets slot 3
  platform.Rtc().SetTime({2027, 2, 3, 7, 8, 9});
  platform.EnterSleepState(5);
  PowerEventLogRecord log = ReadLog(platform);
  EXPECT_EQ(SlotBytes(log, 3), (std::vector<uint8_t>{27, 2, 3, 7, 8, 9, 5, 0xFF}));
  EXPECT_EQ(log.Slot[2].Reserved, 0x5C) << "byte 7 is never written";
}

}  // namespace
