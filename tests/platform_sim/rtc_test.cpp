// The CMOS clock: BCD registers that advance with virtual time across days and years, the
// update flag's window before each second, a stuck flag; CMOS bank 0's NMI bit and
// bank 2's full 8-bit index.
#include <gtest/gtest.h>

#include "platform_sim/platform.h"

namespace {

constexpr uint64_t kSecondNs = 1000000000ull;

TEST(RealTimeClock, BcdRegistersAdvanceWithVirtualTimeOverTheYearEnd) {
  sim::Platform platform(sim::PlatformProfile{});
  sim::RealTimeClock &rtc = platform.Rtc();
  rtc.SetTime({2026, 12, 31, 23, 59, 58});
  EXPECT_EQ(platform.Cmos().Get(0x00), 0x58);
  platform.Processor().AdvanceNs(3 * kSecondNs);
  EXPECT_EQ(rtc.Time(), (sim::CalendarTime{2027, 1, 1, 0, 0, 1}));
  const uint8_t expected[][2] = {{0x00, 0x01}, {0x02, 0x00}, {0x04, 0x00}, {0x07, 0x01}, {0x08, 0x01}, {0x09, 0x27}};
  for (const auto &[index, value] : expected) {
    SCOPED_TRACE(index);
    EXPECT_EQ(platform.Cmos().Get(index), value);
  }
  platform.Processor().AdvanceNs(59ull * 86400 * kSecondNs);
  EXPECT_EQ(rtc.Time(), (sim::CalendarTime{2027, 3, 1, 0, 0, 1})) << "February 2027 has 28 days";
}

TEST(RealTimeClock, TheUpdateFlagIsUpFor2228UsBeforeEachSecondAndCanBeStuck) {
  sim::Platform platform(sim::PlatformProfile{});
  sim::RealTimeClock &rtc = platform.Rtc();
  rtc.SetTime({2026, 5, 5, 5, 5, 5});
  platform.Processor().AdvanceNs(kSecondNs - 2229000);
  EXPECT_FALSE(rtc.UpdateInProgress());
  platform.Processor().AdvanceNs(2000);
  EXPECT_TRUE(rtc.UpdateInProgress());
  EXPECT_EQ(rtc.Time().second, 5) << "the registers change only at the update";
  platform.Processor().AdvanceNs(2228000);
  EXPECT_FALSE(rtc.UpdateInProgress());
  EXPECT_EQ(rtc.Time().second, 6);
  rtc.SetUpdateStuck(true);
  EXPECT_EQ(platform.Cmos().Get(0x0A) & 0x80, 0x80);
}

TEST(CmosBanks, Bank0Bit7MasksNmiAndBank2DecodesAllEightBits) {
  sim::Platform platform(sim::PlatformProfile{});
  sim::AddressMap &bus = platform.Bus();
  bus.IoWrite(0x70, 1, 0x8E);
  EXPECT_TRUE(platform.Cmos().NmiMasked());
  EXPECT_EQ(platform.Cmos().SelectedIndex(), 0x0E);
  bus.IoWrite(0x71, 1, 0x5A);
  bus.IoWrite(0x70, 1, 0x0E);
  EXPECT_FALSE(platform.Cmos().NmiMasked());
  EXPECT_EQ(bus.IoRead(0x71, 1), 0x5A);

  bus.IoWrite(0x72, 1, 0xC7);
  bus.IoWrite(0x73, 1, 0x11);
  bus.IoWrite(0x72, 1, 0x47);
  bus.IoWrite(0x73, 1, 0x22);
  EXPECT_EQ(platform.Cmos2().Get(0xC7), 0x11);
  EXPECT_EQ(platform.Cmos2().Get(0x47), 0x22) << "0xC7 and 0x47 are different bytes";
}

}  // namespace
