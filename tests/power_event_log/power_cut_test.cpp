// The power fails after each flash command of an append (a shutdown is exactly when
// power goes). No record other than "PLOG" may change, and "PLOG" loses at most the
// event that was being written.
#include <gtest/gtest.h>

#include "tests/power_event_log/log_fixture.h"

namespace {

using namespace logtest;

// Flash commands of one append after the start-up record, measured on a twin platform.
uint64_t CommandsOfOneAppend() {
  sim::Platform platform(SmmProfile());
  LoadDriver(platform);
  uint64_t before = FlashCommands(platform);
  EXPECT_EQ(Append(platform, 0x21), EFI_SUCCESS);
  return FlashCommands(platform) - before;
}

TEST(PowerCut, AfterEachFlashCommandOfAnAppendLosesAtMostTheEventBeingWritten) {
  const uint64_t commands = CommandsOfOneAppend();
  ASSERT_GT(commands, 0u);
  for (uint64_t cut = 1; cut <= commands; ++cut) {
    SCOPED_TRACE("power cut after command " + std::to_string(cut) + " of " + std::to_string(commands));
    sim::Platform platform(SmmProfile());
    LoadDriver(platform);
    std::vector<uint8_t> before = Span(platform);
    PowerEventLogRecord logBefore = ReadLog(platform);
    platform.Flash().Faults().powerCutAfter = FlashCommands(platform) + cut;
    bool powerFailed = false;
    try {
      Append(platform, 0x21);
    } catch (const sim::PlatformReset &reset) {
      powerFailed = reset.powerCut;
    }
    EXPECT_TRUE(powerFailed);
    platform.Reboot();

    std::vector<uint8_t> after = Span(platform);
    for (size_t offset = 0; offset < after.size(); ++offset) {
      if (offset >= 0x1300 && offset < 0x1500) continue;
      ASSERT_EQ(after[offset], before[offset]) << "offset 0x" << std::hex << offset << " outside \"PLOG\"";
    }
    PowerEventLogRecord log = ReadLog(platform);
    EXPECT_EQ(log.Signature, POWER_EVENT_LOG_SIGNATURE);
    EXPECT_EQ(log.Slot[0].Event, logBefore.Slot[0].Event);
    EXPECT_EQ(SlotBytes(log, 0), SlotBytes(logBefore, 0)) << "the earlier event survives";
    EXPECT_TRUE(log.FreeMap == ~1ull || log.FreeMap == ~3ull) << std::hex << log.FreeMap;
    for (unsigned slot = 2; slot < POWER_EVENT_LOG_SLOTS; ++slot) {
      ASSERT_EQ(SlotBytes(log, slot), SlotBytes(logBefore, slot)) << slot;
    }

    // The next boot logs on.
    LoadDriver(platform);
    EXPECT_EQ(ReadLog(platform).Signature, POWER_EVENT_LOG_SIGNATURE);
    EXPECT_LT(ReadLog(platform).FreeMap, log.FreeMap) << "the start-up record took a slot";
  }
}

}  // namespace
