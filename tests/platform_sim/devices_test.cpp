// Hardware models: the EC handshake, the timer, CMOS, the power management controller
// and the address map.
#include <gtest/gtest.h>

#include "platform_sim/loader/hardware_bridge.h"
#include "platform_sim/platform.h"

namespace {

TEST(EmbeddedController, AByteWrittenWhileTheInputBufferIsFullIsLost) {
  sim::Platform platform(sim::PlatformProfile{});
  const SIM_HARDWARE_PORT *port = sim::HardwarePort();
  port->IoWrite(0x25D, 1, 0x81);
  EXPECT_EQ(port->IoRead(0x25D, 1) & 0x02, 0x02) << "input buffer full right after the write";
  port->IoWrite(0x25C, 1, 0x07);  // too early
  while (port->IoRead(0x25D, 1) & 0x02) {
  }
  port->IoWrite(0x25C, 1, 0x08);
  EXPECT_EQ(platform.Ec().LostBytes(), std::vector<uint8_t>{0x07});
  while (port->IoRead(0x25D, 1) & 0x02) {
  }
  EXPECT_EQ(platform.Ec().Wire(), (std::vector<uint8_t>{0x81, 0x08}));
}

TEST(EmbeddedController, AnswersTheExtendedCommandThroughTheOutputBuffer) {
  sim::PlatformProfile profile;
  profile.ecAnswers = {0x80};
  sim::Platform platform(profile);
  const SIM_HARDWARE_PORT *port = sim::HardwarePort();
  for (uint8_t byte : {0x9A, 0, 8, 1, 2, 0, 3, 4}) {
    while (port->IoRead(0x25D, 1) & 0x02) {
    }
    port->IoWrite(byte == 0x9A ? 0x25D : 0x25C, 1, byte);
  }
  int polls = 0;
  while ((port->IoRead(0x25D, 1) & 0x01) == 0 && ++polls < 100000) {
  }
  EXPECT_EQ(port->IoRead(0x25C, 1), 0x80u);
  EXPECT_EQ(port->IoRead(0x25D, 1) & 0x01, 0u) << "reading the data empties the output buffer";
}

TEST(Timer, ModeZeroRaisesItsOutputAfterTheCountAtTheTimerRate) {
  sim::Platform platform(sim::PlatformProfile{});
  const SIM_HARDWARE_PORT *port = sim::HardwarePort();
  port->IoWrite(0x61, 1, 0x01);
  port->IoWrite(0x43, 1, 0xB0);
  port->IoWrite(0x42, 1, 0xA9);
  port->IoWrite(0x42, 1, 0x04);
  uint64_t start = platform.Processor().NowPs();
  while ((port->IoRead(0x61, 1) & 0x20) == 0) {
  }
  double elapsedUs = static_cast<double>(platform.Processor().NowPs() - start) / 1e6;
  EXPECT_NEAR(elapsedUs, 1193.0 / 1.193182, 1.0);
  port->IoWrite(0x43, 1, 0xE8);
  EXPECT_EQ(port->IoRead(0x42, 1), 0x80u | 0x30u | 0x00u) << "status: output high, low/high access, mode 0";
}

TEST(AddressMap, UnclaimedAccessesReadAllOnesAndDropWrites) {
  sim::PlatformProfile profile;
  profile.pmcPresent = false;
  profile.traceHubPresent = false;
  sim::Platform platform(profile);
  const SIM_HARDWARE_PORT *port = sim::HardwarePort();
  EXPECT_EQ(port->MmioRead(0xFE200000, 4), 0xFFFFFFFFu);
  EXPECT_EQ(port->MmioRead(0xE00FA000, 2), 0xFFFFu);
  EXPECT_EQ(port->IoRead(0x1234, 1), 0xFFu);
  port->MmioWrite(0xFED00000, 8, 1);  // nothing there: no effect, no crash
}

TEST(PowerManagementController, ThePwrmSpaceFollowsItsBaseRegisterWithTheTraceHubDisableBit) {
  sim::Platform platform(sim::PlatformProfile{});
  const SIM_HARDWARE_PORT *port = sim::HardwarePort();
  EXPECT_EQ(port->MmioRead(0xE00FA000, 2), 0x8086u);
  EXPECT_EQ(port->MmioRead(0xE00FA048, 4), 0xFE000000u);
  EXPECT_EQ(port->MmioRead(0xFE0005D0, 4), 0u);
  platform.Pmc().SetTraceHubDisabled(true);
  EXPECT_EQ(port->MmioRead(0xFE0005D0, 4), 1u);

  port->MmioWrite(0xE00FA048, 4, 0xFD000000);
  EXPECT_EQ(port->MmioRead(0xFD0005D0, 4), 1u);
  EXPECT_EQ(port->MmioRead(0xFE0005D0, 4), 0xFFFFFFFFu) << "the old base still decodes";
}

TEST(Cmos, BankIndexMasksTheNmiBitAndBanksAreSeparate) {
  sim::Platform platform(sim::PlatformProfile{});
  const SIM_HARDWARE_PORT *port = sim::HardwarePort();
  port->IoWrite(0x70, 1, 0x80 | 0x10);
  port->IoWrite(0x71, 1, 0x33);
  port->IoWrite(0x72, 1, 0x10);
  port->IoWrite(0x73, 1, 0x44);
  EXPECT_EQ(platform.Cmos().Get(0x10), 0x33);
  EXPECT_EQ(platform.Cmos2().Get(0x10), 0x44);
}

}  // namespace
