// TagStoreFlush on every kind of flash: the exact bytes left in the block, and what
// failed erases, failed writes and a power cut leave behind.
#include <gtest/gtest.h>

#include <sstream>

#include "platform_sim/report/report.h"
#include "tests/tagstore/tag_store_fixture.h"
#include "tests/support/case_names.h"

namespace {

using namespace tagtest;

constexpr size_t kSpan = TAG_STORE_RECORD_SPAN;
constexpr size_t kErased = 0x2000;

// The block as the factory left it, with every record and the space behind them holding
// something other than erased flash.
std::vector<uint8_t> SeedBlock(sim::Platform &platform) {
  std::vector<uint8_t> block = sim::FactoryTagStoreBlock();
  std::vector<uint8_t> other = Pattern(kErased, 0x11);
  for (size_t index = 0; index < kErased; ++index) {
    bool factoryRecord = (index >= 0x100 && index < 0x200) || (index >= 0x1200 && index < 0x1300);
    if (!factoryRecord) block[index] = other[index];
  }
  platform.Flash().Load(kBase, block);
  return block;
}

class FlushOnEachFlash : public ::testing::TestWithParam<Flash> {};

TEST_P(FlushOnEachFlash, RewritesEveryRecordAtItsOffsetAndLeavesTheRestOfTheSpanErased) {
  sim::Platform platform(FlashPlatform(GetParam()));
  std::vector<uint8_t> expected = SeedBlock(platform);
  TAG_STORE_PROBE *probe = LoadProbe(platform, RunsInSmm(GetParam()));

  std::vector<uint8_t> plog = Pattern(512, 0xA0);
  uint64_t size = 0;
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));
  ASSERT_TRUE(simtest::Call(probe->Flush));

  std::copy(plog.begin(), plog.end(), expected.begin() + 0x1300);
  std::fill(expected.begin() + kSpan, expected.end(), 0xFF);
  EXPECT_EQ(FlashBytes(platform, kBase, kErased), expected);
  for (TagStoreEntry *entry = simtest::Call(probe->Table); entry->Tag != TAG_STORE_TERMINATOR; ++entry) {
    EXPECT_EQ(entry->Loaded, 1) << "every record was loaded before the erase";
    EXPECT_EQ(entry->Dirty, 0);
  }
  // The neighbours of the span are untouched.
  EXPECT_EQ(FlashBytes(platform, kBase - 0x1000, 0x1000), std::vector<uint8_t>(0x1000, 0xFF));
  EXPECT_EQ(FlashBytes(platform, kBase + kErased, 16), std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(platform.Flash().Monitor().Erases(), 2u) << "two 4-KiB units";
}

INSTANTIATE_TEST_SUITE_P(Flashes, FlushOnEachFlash,
                         ::testing::Values(Flash::SpiBoot, Flash::SpiSmmRegion, Flash::SpiSmmNoRegion, Flash::Parallel),
                         [](const auto &info) { return std::string(FlashName(info.param)); });

TEST(TagStoreFlush, WithNothingDirtyTheFlashIsNotTouched) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  uint64_t size = 0;
  std::vector<uint8_t> buffer(512);
  ASSERT_TRUE(simtest::Call(probe->Read, kPlog, &size, buffer.data()));
  EXPECT_TRUE(simtest::Call(probe->Flush));
  EXPECT_TRUE(FlashEffects(platform).empty());
}

TEST(TagStoreFlush, OnAFirmwareHubTheEraseIsRefusedAndTheRecordStaysDirty) {
  sim::Platform platform(FlashPlatform(Flash::FirmwareHub));
  std::vector<uint8_t> before = SeedBlock(platform);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  uint64_t size = 0;
  std::vector<uint8_t> plog = Pattern(512, 0x21);
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));
  EXPECT_FALSE(simtest::Call(probe->Flush));
  EXPECT_EQ(Entry(probe, kPlog)->Dirty, 1);
  EXPECT_EQ(FlashBytes(platform, kBase, kErased), before);
  EXPECT_EQ(platform.Flash().Monitor().Erases() + platform.Flash().Monitor().Programs(), 0u);
}

struct EraseFailureCase {
  Flash flash;
  uint64_t failingErase;
};
std::string NameOf(const EraseFailureCase &c) {
  return std::string(FlashName(c.flash)) + "_" + std::to_string(c.failingErase);
}
SIMTEST_PRINTS_CASE(EraseFailureCase)

class FlushEraseFailure : public ::testing::TestWithParam<EraseFailureCase> {};

TEST_P(FlushEraseFailure, ReportsFailureKeepsTheRecordDirtyAndTheNextFlushWritesIt) {
  sim::Platform platform(FlashPlatform(GetParam().flash));
  std::vector<uint8_t> block = SeedBlock(platform);
  TAG_STORE_PROBE *probe = LoadProbe(platform, RunsInSmm(GetParam().flash));
  platform.Flash().Faults().failEraseNth = GetParam().failingErase;
  uint64_t size = 0;
  std::vector<uint8_t> plog = Pattern(512, 0x77);
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));

  EXPECT_FALSE(simtest::Call(probe->Flush));
  EXPECT_EQ(Entry(probe, kPlog)->Dirty, 1);
  EXPECT_EQ(platform.Flash().Monitor().Programs(), 0u) << "nothing is programmed over a failed erase";

  EXPECT_TRUE(simtest::Call(probe->Flush));
  EXPECT_EQ(Entry(probe, kPlog)->Dirty, 0);
  std::copy(plog.begin(), plog.end(), block.begin() + 0x1300);
  std::fill(block.begin() + kSpan, block.end(), 0xFF);
  EXPECT_EQ(FlashBytes(platform, kBase, kErased), block);
}

INSTANTIATE_TEST_SUITE_P(Flashes, FlushEraseFailure,
                         ::testing::Values(EraseFailureCase{Flash::SpiBoot, 1}, EraseFailureCase{Flash::SpiBoot, 2},
                                           EraseFailureCase{Flash::SpiSmmRegion, 1},
                                           EraseFailureCase{Flash::Parallel, 2}),
                         simtest::CaseName<EraseFailureCase>);

TEST(TagStoreFlush, ARecordWhoseWriteFailsStaysDirtyAndTheFlushGoesOn) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  std::vector<uint8_t> block = SeedBlock(platform);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  // Programs run page by page in table order: the second is "MFG0", which was clean.
  platform.Flash().Faults().failProgramNth = 2;
  uint64_t size = 0;
  std::vector<uint8_t> plog = Pattern(512, 0x3C);
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));

  EXPECT_TRUE(simtest::Call(probe->Flush));
  for (TagStoreEntry *entry = simtest::Call(probe->Table); entry->Tag != TAG_STORE_TERMINATOR; ++entry) {
    EXPECT_EQ(entry->Dirty, entry->Tag == kMfg0 ? 1 : 0) << std::string(reinterpret_cast<char *>(&entry->Tag), 4);
  }
  EXPECT_EQ(FlashBytes(platform, kBase + 0x100, 256), std::vector<uint8_t>(256, 0xFF)) << "lost on flash";
  EXPECT_EQ(FlashBytes(platform, kBase + 0x1300, 512), plog) << "later records were still written";

  EXPECT_TRUE(simtest::Call(probe->Flush));
  EXPECT_EQ(Entry(probe, kMfg0)->Dirty, 0);
  std::copy(plog.begin(), plog.end(), block.begin() + 0x1300);
  std::fill(block.begin() + kSpan, block.end(), 0xFF);
  EXPECT_EQ(FlashBytes(platform, kBase, kErased), block);
}

struct PowerCutCase {
  uint64_t afterCommand;
  size_t erasedUpTo;  // the block reads erased below this offset after the cut
};
std::string NameOf(const PowerCutCase &c) { return "AfterErase" + std::to_string(c.afterCommand); }
SIMTEST_PRINTS_CASE(PowerCutCase)

class FlushPowerCut : public ::testing::TestWithParam<PowerCutCase> {};

// A flush erases the whole span before it writes anything back: a power cut in between
// loses what the erase already took, including the factory records.
TEST_P(FlushPowerCut, WhatTheEraseTookBeforeTheCutIsLost) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  std::vector<uint8_t> block = SeedBlock(platform);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Flash().Faults().powerCutAfter = GetParam().afterCommand;
  uint64_t size = 0;
  std::vector<uint8_t> plog = Pattern(512, 0x5E);
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));
  try {
    simtest::Call(probe->Flush);
    FAIL() << "the power did not fail";
  } catch (const sim::PlatformReset &reset) {
    EXPECT_TRUE(reset.powerCut);
  }
  platform.Reboot();

  std::vector<uint8_t> expected = block;
  std::fill(expected.begin(), expected.begin() + static_cast<long>(GetParam().erasedUpTo), 0xFF);
  EXPECT_EQ(FlashBytes(platform, kBase, kErased), expected);

  // The next boot's store reads what the flash kept.
  probe = LoadProbe(platform);
  std::vector<uint8_t> mfg0(256);
  ASSERT_TRUE(simtest::Call(probe->Read, kMfg0, &size, mfg0.data()));
  EXPECT_EQ(mfg0, std::vector<uint8_t>(expected.begin() + 0x100, expected.begin() + 0x200));
}

INSTANTIATE_TEST_SUITE_P(Commands, FlushPowerCut, ::testing::Values(PowerCutCase{1, 0x1000}, PowerCutCase{2, kErased}),
                         simtest::CaseName<PowerCutCase>);

TEST(TagStoreFlush, TheReportListsTheFlashOperationsOfTheFlushingImage) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  // "PLOG" holds zeros: the new content sets bits, so the block is erased.
  platform.Flash().Load(kBase + 0x1300, std::vector<uint8_t>(512, 0x00));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  uint64_t size = 0;
  std::vector<uint8_t> plog = Pattern(512, 0x01);
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));
  {
    sim::ActorScope actor(platform, "TagStoreProbe");
    ASSERT_TRUE(simtest::Call(probe->Flush));
  }
  std::ostringstream report;
  sim::WriteReport(report, platform);
  for (const char *expected :
       {"TagStoreProbe         flash         ChipsetSpi Erase linear 0x00D80000, 8192 bytes (at 0xFFD80000)",
        "TagStoreProbe         flash         ChipsetSpi Write linear 0x00D81300, 512 bytes (at 0xFFD81300)",
        "Chosen flash device (PCD 433): token 0x11 \"W25Q128JV\" \"Winbond\"", "Flash commands: 2 erase, 21 program"}) {
    EXPECT_NE(report.str().find(expected), std::string::npos) << expected << "\n" << report.str();
  }
}

struct ProgramOnlyCase {
  const char *name;
  uint8_t flashByte;  // what "PLOG" holds in flash
  uint8_t newByte;    // what is written
  uint64_t erases;
  uint64_t programs;  // SPI page programs
};
SIMTEST_PRINTS_CASE(ProgramOnlyCase)

class FlushWithoutErase : public ::testing::TestWithParam<ProgramOnlyCase> {};

// Only records that differ are programmed, and only when no bit must go from 0 to 1.
TEST_P(FlushWithoutErase, ProgramsInPlaceWhenEveryByteOnlyClearsBits) {
  const ProgramOnlyCase &c = GetParam();
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  std::vector<uint8_t> block = SeedBlock(platform);
  std::fill(block.begin() + 0x1300, block.begin() + 0x1500, c.flashByte);
  platform.Flash().Load(kBase, block);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  std::vector<uint8_t> plog(512, c.newByte);
  uint64_t size = 0;
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));
  ASSERT_TRUE(simtest::Call(probe->Flush));
  EXPECT_EQ(platform.Flash().Monitor().Erases(), c.erases);
  EXPECT_EQ(platform.Flash().Monitor().Programs(), c.programs);
  std::copy(plog.begin(), plog.end(), block.begin() + 0x1300);
  if (c.erases != 0) std::fill(block.begin() + kSpan, block.end(), 0xFF);
  EXPECT_EQ(FlashBytes(platform, kBase, kErased), block) << "the same bytes either way";
  for (TagStoreEntry *entry = simtest::Call(probe->Table); entry->Tag != TAG_STORE_TERMINATOR; ++entry)
    EXPECT_EQ(entry->Dirty, 0);
}

INSTANTIATE_TEST_SUITE_P(Contents, FlushWithoutErase,
                         ::testing::Values(ProgramOnlyCase{"ErasedToValues", 0xFF, 0x5A, 0, 2},
                                           ProgramOnlyCase{"ClearingOneBit", 0x5B, 0x5A, 0, 2},
                                           ProgramOnlyCase{"Unchanged", 0x5A, 0x5A, 0, 0},
                                           ProgramOnlyCase{"SettingABit", 0x5A, 0x5B, 2, 21}),
                         simtest::CaseName<ProgramOnlyCase>);

TEST(TagStoreFlush, AFailedProgramInPlaceIsReportedAndTheRecordStaysDirty) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  std::vector<uint8_t> before = SeedBlock(platform);
  std::fill(before.begin() + 0x1300, before.begin() + 0x1500, 0xFF);
  platform.Flash().Load(kBase, before);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Flash().Faults().failEveryProgram = true;
  std::vector<uint8_t> plog(512, 0x00);
  uint64_t size = 0;
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));
  EXPECT_FALSE(simtest::Call(probe->Flush));
  EXPECT_EQ(Entry(probe, kPlog)->Dirty, 1);
  EXPECT_EQ(platform.Flash().Monitor().Erases(), 0u) << "no other record was put at risk";
}

}  // namespace
