// ReadRtcRegister and ReadRtcTime against the CMOS clock model: the port sequence with
// NMI masked, the BCD conversion (also of bytes that are not BCD), the bounded update
// wait and the interrupt flag.
#include <gtest/gtest.h>

#include "tests/images/power_event_log_probe.h"
#include "tests/power_event_log/log_fixture.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/case_names.h"

namespace {

using namespace logtest;

struct Bench {
  explicit Bench(sim::PlatformProfile profile = SmmProfile()) : platform(std::move(profile)) {
    platform.Load("PowerEventLogProbe", sim::LoadOptions{false, true});
    probe = simtest::Locate<POWER_EVENT_LOG_PROBE>(platform, gPowerEventLogProbeProtocolGuid);
  }
  // Stops the clock (SET) and loads raw bytes into the time registers.
  void FreezeRegisters(const std::vector<std::pair<uint8_t, uint8_t>> &registers) {
    platform.Rtc().Write(0x0B, 0x82);
    for (auto [index, value] : registers) platform.Rtc().Write(index, value);
  }
  EFI_TIME Read(EFI_TIME_CAPABILITIES *capabilities = nullptr) {
    EFI_TIME time;
    std::memset(&time, 0xA5, sizeof(time));
    EXPECT_EQ(simtest::Call(probe->ReadRtcTime, &time, capabilities), EFI_SUCCESS);
    return time;
  }
  sim::Platform platform;
  POWER_EVENT_LOG_PROBE *probe = nullptr;
};

struct RtcCase {
  const char *name;
  uint8_t second, minute, hour, day, month, year;
  int expected[6];  // year, month, day, hour, minute, second
};
SIMTEST_PRINTS_CASE(RtcCase)

class RtcValues : public ::testing::TestWithParam<RtcCase> {};

TEST_P(RtcValues, ConvertEachRegisterFromBcdAsWritten) {
  const RtcCase &c = GetParam();
  Bench bench;
  bench.FreezeRegisters(
      {{0x00, c.second}, {0x02, c.minute}, {0x04, c.hour}, {0x07, c.day}, {0x08, c.month}, {0x09, c.year}});
  EFI_TIME time = bench.Read();
  EXPECT_EQ(time.Year, c.expected[0]);
  EXPECT_EQ(time.Month, c.expected[1]);
  EXPECT_EQ(time.Day, c.expected[2]);
  EXPECT_EQ(time.Hour, c.expected[3]);
  EXPECT_EQ(time.Minute, c.expected[4]);
  EXPECT_EQ(time.Second, c.expected[5]);
  EXPECT_EQ(time.Pad1, 0);
  EXPECT_EQ(time.Nanosecond, 0u);
  EXPECT_EQ(time.TimeZone, 0);
  EXPECT_EQ(time.Daylight, 0);
  EXPECT_EQ(time.Pad2, 0);
}

// Bytes that are not BCD go through the same arithmetic: value - 6 * (value >> 4), 8-bit.
INSTANTIATE_TEST_SUITE_P(
    Registers, RtcValues,
    ::testing::Values(RtcCase{"LastSecondOf2026", 0x58, 0x59, 0x23, 0x31, 0x12, 0x26, {26, 12, 31, 23, 59, 58}},
                      RtcCase{"Midnight2000", 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, {0, 1, 1, 0, 0, 0}},
                      RtcCase{"BinaryBytes", 0x3B, 0x1F, 0x17, 0x0A, 0x0C, 0x63, {63, 12, 10, 17, 25, 41}},
                      RtcCase{"AllOnes", 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, {165, 165, 165, 165, 165, 165}},
                      RtcCase{"TwelveHourPmBit", 0x00, 0x30, 0x92, 0x15, 0x06, 0x27, {27, 6, 15, 92, 30, 0}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReadRtcRegister, MasksNmiForTheAccessAndLeavesIndexZeroUnmasked) {
  Bench bench;
  bench.platform.Bus().SetLogging(true);
  bench.platform.Bus().ClearLog();
  uint8_t minutes = simtest::Call(bench.probe->ReadRtcRegister, 0x02);
  EXPECT_EQ(minutes, bench.platform.Rtc().Read(0x02));
  using Kind = sim::BusAccess::Kind;
  std::vector<std::tuple<Kind, uint64_t, uint64_t>> seen;
  for (const sim::BusAccess &access : bench.platform.Bus().Log()) {
    seen.emplace_back(access.kind, access.address, access.kind == Kind::IoRead ? 0 : access.value);
  }
  std::vector<std::tuple<Kind, uint64_t, uint64_t>> expected = {{Kind::IoWrite, 0x70, 0x82},
                                                                {Kind::IoWrite, 0xED, 0},
                                                                {Kind::IoRead, 0x71, 0},
                                                                {Kind::IoWrite, 0xED, 0},
                                                                {Kind::IoWrite, 0x70, 0x00}};
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(bench.platform.Cmos().NmiMasked());
  EXPECT_EQ(bench.platform.Cmos().SelectedIndex(), 0);
}

TEST(ReadRtcTime, FillsTheCapabilitiesWhenAsked) {
  Bench bench;
  EFI_TIME_CAPABILITIES capabilities;
  std::memset(&capabilities, 0xA5, sizeof(capabilities));
  bench.Read(&capabilities);
  EXPECT_EQ(capabilities.Resolution, 1u);
  EXPECT_EQ(capabilities.Accuracy, 50000000u);
  EXPECT_EQ(capabilities.SetsToZero, FALSE);
}

TEST(ReadRtcTime, AStuckUpdateFlagCostsOneReadPlusTheBoundedWaitThenTheTimeIsReadAnyway) {
  sim::PlatformProfile profile = SmmProfile();
  profile.rtcTime = {2027, 2, 3, 7, 8, 9};
  Bench bench(profile);
  bench.platform.Rtc().SetUpdateStuck(true);
  uint64_t before = bench.platform.Rtc().StatusAReads();
  EFI_TIME time = bench.Read();
  EXPECT_EQ(bench.platform.Rtc().StatusAReads() - before, 1u + 1048575u);
  EXPECT_EQ(time.Year, 27);
  EXPECT_EQ(time.Hour, 7);
}

TEST(ReadRtcTime, InsideTheUpdateWindowWaitsAndReadsTheNewSecond) {
  Bench bench;
  bench.platform.Rtc().SetTime({2026, 12, 31, 23, 59, 59});
  // 1 ms before the update: the flag is already up.
  bench.platform.Processor().AdvancePs(sim::RealTimeClock::kSecondPs - 1000000000ull);
  ASSERT_TRUE(bench.platform.Rtc().UpdateInProgress());
  uint64_t before = bench.platform.Rtc().StatusAReads();
  EFI_TIME time = bench.Read();
  EXPECT_GT(bench.platform.Rtc().StatusAReads() - before, 1u) << "the reader waited for the update";
  EXPECT_EQ(time.Year, 27);
  EXPECT_EQ(time.Month, 1);
  EXPECT_EQ(time.Day, 1);
  EXPECT_EQ(time.Hour, 0);
  EXPECT_EQ(time.Minute, 0);
  EXPECT_EQ(time.Second, 0);
}

class InterruptState : public ::testing::TestWithParam<bool> {};

TEST_P(InterruptState, IsAsItWasAndOnlyAnEnabledFlagIsToggled) {
  sim::PlatformProfile profile = SmmProfile();
  profile.interruptsEnabled = GetParam();
  Bench bench(profile);
  uint64_t changes = bench.platform.Processor().InterruptFlagChanges();
  bench.Read();
  EXPECT_EQ(bench.platform.Processor().InterruptsEnabled(), GetParam());
  EXPECT_EQ(bench.platform.Processor().InterruptFlagChanges() - changes, GetParam() ? 2u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Flag, InterruptState, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "Enabled" : "Disabled"; });

}  // namespace
