// AppendEvent: which slot it takes, what it stamps, when it refuses, and that the log
// outlives a reboot. The log's bytes are read back from the flash itself.
#include <gtest/gtest.h>

#include "tests/power_event_log/log_fixture.h"
#include "tests/support/case_names.h"

namespace {

using namespace logtest;

struct SlotCase {
  const char *name;
  uint64_t freeMap;
  EFI_STATUS status;
  int slot;  // -1: nothing written
};
SIMTEST_PRINTS_CASE(SlotCase)

class SlotChoice : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotChoice, TakesTheSlotOnePastTheHighestUsedOne) {
  const SlotCase &c = GetParam();
  sim::Platform platform(SmmProfile(c.freeMap));
  auto before = Span(platform);
  LoadDriver(platform);  // the start-up record is the append under test
  PowerEventLogRecord log = ReadLog(platform);
  if (c.slot < 0) {
    EXPECT_EQ(Span(platform), before) << "nothing written";
    EXPECT_EQ(Append(platform, 9), c.status);
    EXPECT_EQ(FlashCommands(platform), 0u);
    return;
  }
  EXPECT_EQ(log.FreeMap, c.freeMap & ~(1ull << c.slot));
  EXPECT_EQ(log.Slot[c.slot].Event, POWER_EVENT_DRIVER_START);
  EXPECT_EQ(log.Slot[c.slot].Year, 26);
}

INSTANTIATE_TEST_SUITE_P(FreeMaps, SlotChoice,
                         ::testing::Values(SlotCase{"Fresh", kFreshMap, EFI_SUCCESS, 0},
                                           SlotCase{"Bits0To2Clear", ~0x7ull, EFI_SUCCESS, 3},
                                           // Slots 0 to 4 look free but lie below a used one: they stay unused.
                                           SlotCase{"OnlyBit5Clear", ~(1ull << 5), EFI_SUCCESS, 6},
                                           SlotCase{"Bit60Clear", ~(1ull << 60), EFI_SUCCESS, 61},
                                           SlotCase{"Bit61Clear", ~(1ull << 61), EFI_UNSUPPORTED, -1},
                                           SlotCase{"Bit63Clear", ~(1ull << 63), EFI_UNSUPPORTED, -1},
                                           SlotCase{"AllUsed", 0, EFI_UNSUPPORTED, -1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(AppendEvent, OnErasedFlashEveryAppendIsNotReadyAndNothingIsWritten) {
  sim::Platform platform(SmmProfile(std::nullopt));
  auto before = Span(platform);
  EXPECT_EQ(LoadDriver(platform).entryStatus, EFI_SUCCESS) << "an unprovisioned log does not fail the entry";
  for (int state = 3; state <= 5; ++state) {
    SCOPED_TRACE(state);
    platform.EnterSleepState(state);
    platform.Pmc().Wake();
  }
  EXPECT_EQ(Append(platform, 1), EFI_NOT_READY);
  EXPECT_EQ(Span(platform), before);
  EXPECT_EQ(FlashCommands(platform), 0u);
}

TEST(AppendEvent, FillsTheLogIn62AppendsAndRefusesThe63rdWithTheFlashUnchanged) {
  sim::Platform platform(SmmProfile());
  LoadDriver(platform);  // slot 0
  for (int event = 1; event < 62; ++event) {
    ASSERT_EQ(Append(platform, static_cast<UINT8>(event)), EFI_SUCCESS) << event;
  }
  PowerEventLogRecord log = ReadLog(platform);
  EXPECT_EQ(log.FreeMap, 0xC000000000000000ull) << "bits 62 and 63 belong to no slot";
  for (unsigned slot = 0; slot < 62; ++slot) EXPECT_EQ(log.Slot[slot].Event, slot) << slot;
  auto full = Span(platform);
  uint64_t commands = FlashCommands(platform);
  EXPECT_EQ(Append(platform, 62), EFI_UNSUPPORTED);
  EXPECT_EQ(Span(platform), full);
  EXPECT_EQ(FlashCommands(platform), commands);
}

TEST(AppendEvent, EachAppendProgramsOnlyTheLogAndErasesNothing) {
  sim::Platform platform(SmmProfile());
  auto factory = Span(platform);
  LoadDriver(platform);
  uint64_t erases = platform.Flash().Monitor().Erases();
  ASSERT_EQ(Append(platform, 7), EFI_SUCCESS);
  EXPECT_EQ(platform.Flash().Monitor().Erases(), erases);
  auto after = Span(platform);
  for (size_t offset = 0; offset < after.size(); ++offset) {
    if (offset >= 0x1300 && offset < 0x1500) continue;
    ASSERT_EQ(after[offset], factory[offset]) << "offset 0x" << std::hex << offset;
  }
  EXPECT_EQ(ReadLog(platform).Slot[1].Event, 7);
}

TEST(AppendEvent, RecordsWrittenInOneBootAreReadBackInTheNext) {
  sim::Platform platform(SmmProfile());
  LoadDriver(platform);
  ASSERT_EQ(Append(platform, 0x33), EFI_SUCCESS);
  platform.Processor().AdvanceNs(7200ull * 1000000000ull);
  platform.Reboot();
  LoadDriver(platform);
  ASSERT_EQ(Append(platform, 0x44), EFI_SUCCESS);
  PowerEventLogRecord log = ReadLog(platform);
  EXPECT_EQ(log.FreeMap, ~0xFull);
  std::vector<int> events;
  for (unsigned slot = 0; slot < 4; ++slot) events.push_back(log.Slot[slot].Event);
  EXPECT_EQ(events, (std::vector<int>{0, 0x33, 0, 0x44}));
  EXPECT_EQ(log.Slot[2].Hour, log.Slot[1].Hour + 2) << "the clock ran on across the reboot";
}

}  // namespace
