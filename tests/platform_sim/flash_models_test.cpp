// The flash hardware models seen from the bus: the JEDEC parallel part's command set and
// busy status, the firmware hub's status register, the SPI controller's descriptor
// registers and read-only window, the GCD memory space map, and what a reboot keeps.
#include <gtest/gtest.h>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/loader/hardware_bridge.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace {

const SIM_HARDWARE_PORT *Bus() { return sim::HardwarePort(); }
uint8_t Read8(uint64_t address) { return static_cast<uint8_t>(Bus()->MmioRead(address, 1)); }
void Write8(uint64_t address, uint8_t value) { Bus()->MmioWrite(address, 1, value); }

constexpr uint64_t kPart = 0xFF800000;

sim::PlatformProfile WithFlash(void (*use)(sim::PlatformProfile &)) {
  sim::PlatformProfile profile;
  use(profile);
  return profile;
}

void JedecCommand(uint8_t command) {
  Write8(kPart + 0x5555, 0xAA);
  Write8(kPart + 0x2AAA, 0x55);
  Write8(kPart + 0x5555, command);
}

TEST(JedecParallelFlash, ProgramsOnlyClearBitsAndStatusTogglesWhileBusy) {
  sim::Platform platform(WithFlash(sim::UseParallelJedecFlash));
  const uint64_t address = 0xFFE00000;
  platform.Flash().Load(address, {0x0F});
  JedecCommand(0xA0);
  Write8(address, 0xF5);
  uint8_t first = Read8(address);
  uint8_t second = Read8(address);
  EXPECT_NE(first & 0x40, second & 0x40) << "DQ6 toggles while the part works";
  EXPECT_EQ(first & 0x80, 0x00) << "DQ7 is the complement of the data's bit 7";
  Write8(address + 1, 0x00);  // ignored while busy
  platform.Processor().AdvanceNs(20000);
  EXPECT_EQ(Read8(address), 0x05);
  EXPECT_EQ(Read8(address), 0x05) << "settled";
  EXPECT_EQ(Read8(address + 1), 0xFF);
}

TEST(JedecParallelFlash, AnswersItsIdInIdModeUntilReset) {
  sim::Platform platform(WithFlash(sim::UseParallelJedecFlash));
  JedecCommand(0x90);
  EXPECT_EQ(Bus()->MmioRead(kPart, 2), 0x6DBFu);
  Write8(kPart + 0x5555, 0xF0);
  EXPECT_EQ(Read8(kPart), 0xFF) << "array data again";

  // A reboot puts a part left in ID mode back in read mode; the contents stay.
  platform.Flash().Load(0xFFD80000, {0x12});
  JedecCommand(0x90);
  platform.Reboot();
  EXPECT_EQ(Read8(0xFFD80000), 0x12);
}

TEST(FirmwareHubFlash, AnUnconfirmedEraseIsASequenceErrorUntilTheStatusIsCleared) {
  sim::Platform platform(WithFlash(sim::UseFirmwareHubFlash));
  Write8(0xFFD80000, 0x20);
  Write8(0xFFD80000, 0xFF);  // not the confirmation
  EXPECT_EQ(Read8(0xFFD80000), 0x80 | 0x30);
  Write8(0xFFD80000, 0x50);
  EXPECT_EQ(Read8(0xFFD80000), 0x80);
  Write8(0xFFD80000, 0x90);
  EXPECT_EQ(Bus()->MmioRead(0xFFD80000, 2), 0xAC89u);
  Write8(0xFFD80000, 0xFF);
  EXPECT_TRUE(platform.Flash().Hub()->InReadArrayMode());
}

TEST(SpiController, DescriptorRegistersDescribeTheComponentsAndTheWindowIsReadOnly) {
  sim::PlatformProfile profile = WithFlash(sim::UseSpiFlash);
  profile.flash.components.push_back({4, {0xEF, 0x40, 0x17}, {}});
  sim::Platform platform(profile);
  EXPECT_EQ(Bus()->MmioRead(0xE00FD010, 4), 0xFE010000u) << "BAR 0 of 0:31:5";
  Bus()->MmioWrite(0xFE0100B4, 4, 0xFFFFFFFF);
  EXPECT_EQ(Bus()->MmioRead(0xFE0100B4, 4), 0x7FFCu) << "only section and index are writable";
  Bus()->MmioWrite(0xFE0100B4, 4, 0x4);
  EXPECT_EQ((Bus()->MmioRead(0xFE0100B8, 2) >> 8) & 3, 1u) << "two components";
  Bus()->MmioWrite(0xFE0100B4, 4, 0x1000);
  EXPECT_EQ(Bus()->MmioRead(0xFE0100B8, 4) & 0xFF, 0x45u);

  // 24 MiB: the window shows the top 16 MiB, the second component's 8 MiB at the top.
  EXPECT_EQ(platform.Flash().WindowBase(), 0xFF000000u);
  platform.Flash().Spi()->Load(0x1000000, {0x5A});
  EXPECT_EQ(Read8(0xFF800000), 0x5A);
  Write8(0xFF800000, 0x00);
  EXPECT_EQ(Read8(0xFF800000), 0x5A);
  EXPECT_EQ(platform.Flash().Spi()->Erase(0x1800000 - 0x1000, 0x2000), EFI_INVALID_PARAMETER);
}

TEST(MemorySpaceMap, AttributesFollowThePiRulesAndSplitTheRange) {
  sim::Platform platform(WithFlash(sim::UseSpiFlash));
  sim::MemorySpaceMap &map = platform.Core().MemorySpace();
  EXPECT_EQ(map.SetAttributes(0xFFA00000, 0, EFI_MEMORY_UC), EFI_INVALID_PARAMETER);
  EXPECT_EQ(map.SetAttributes(0xFFA00800, 0x1000, EFI_MEMORY_UC), EFI_UNSUPPORTED);
  EXPECT_EQ(map.SetAttributes(0xFFA00000, 0x1000, EFI_MEMORY_WB), EFI_UNSUPPORTED) << "not a capability";
  EXPECT_EQ(map.SetAttributes(0xA0000000, 0x1000, EFI_MEMORY_UC), EFI_UNSUPPORTED) << "nothing there";
  EXPECT_EQ(map.SetAttributes(0xFFA00000, 0x600000, EFI_MEMORY_UC | EFI_MEMORY_RUNTIME), EFI_SUCCESS);
  EFI_GCD_MEMORY_SPACE_DESCRIPTOR below{};
  EFI_GCD_MEMORY_SPACE_DESCRIPTOR bios{};
  ASSERT_EQ(map.Get(0xFF000000, below), EFI_SUCCESS);
  ASSERT_EQ(map.Get(0xFFFFF000, bios), EFI_SUCCESS);
  EXPECT_EQ(below.Length, 0xA00000u);
  EXPECT_EQ(below.Attributes, EFI_MEMORY_UC);
  EXPECT_EQ(bios.BaseAddress, 0xFFA00000u);
  EXPECT_EQ(bios.Attributes, EFI_MEMORY_UC | EFI_MEMORY_RUNTIME);
  EXPECT_EQ(bios.GcdMemoryType, EfiGcdMemoryTypeMemoryMappedIo);
  EXPECT_EQ(map.SetAttributes(0xFFA00000, 0x600000, EFI_MEMORY_UC), EFI_SUCCESS);
  ASSERT_EQ(map.Get(0xFFFFF000, bios), EFI_SUCCESS);
  EXPECT_EQ(bios.BaseAddress, 0xFF000000u) << "equal neighbours merge again";
}

}  // namespace
