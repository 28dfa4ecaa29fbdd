// Block erase and write on each access type: the commands issued, the checks on
// addresses and lengths, the lengths reported and the bounds on every poll.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "runtime/uefi/guids.h"
#include "tests/tagstore/tag_store_fixture.h"
#include "tests/support/case_names.h"

namespace {

using namespace tagtest;

std::vector<std::string> FlashTexts(sim::Platform &platform) {
  std::vector<std::string> texts;
  for (const sim::Effect &effect : FlashEffects(platform)) texts.push_back(effect.what);
  return texts;
}

// Bus writes that reached the flash window.
std::vector<std::pair<uint64_t, uint8_t>> WindowWrites(sim::Platform &platform) {
  std::vector<std::pair<uint64_t, uint8_t>> writes;
  for (const sim::BusAccess &access : platform.Bus().Log()) {
    if (access.kind == sim::BusAccess::Kind::MmioWrite && access.address >= platform.Flash().WindowBase()) {
      writes.push_back({access.address, static_cast<uint8_t>(access.value)});
    }
  }
  return writes;
}

TEST(FlashAccess, TheEraseBlockSizeIs4KiB) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  EXPECT_EQ(simtest::Call(LoadProbe(platform)->EraseBlockSize), 4096u);
}

// --- Access type 0: parallel flash with the JEDEC command set ---

struct ParallelEraseCase {
  uint64_t length;
  uint64_t units;
  uint64_t unitSize;
};
std::string NameOf(const ParallelEraseCase &c) { return "Length" + std::to_string(c.length); }
SIMTEST_PRINTS_CASE(ParallelEraseCase)

class ParallelErase : public ::testing::TestWithParam<ParallelEraseCase> {};

TEST_P(ParallelErase, ErasesWholeBlocksWhenTheLengthAllowsAndSectorsOtherwise) {
  sim::Platform platform(FlashPlatform(Flash::Parallel));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  const uint64_t start = 0xFFD80000;
  platform.Flash().Load(start, std::vector<uint8_t>(GetParam().length, 0x00));
  EXPECT_EQ(simtest::Call(probe->EraseRange, start, GetParam().length), EFI_SUCCESS);
  std::vector<std::string> texts = FlashTexts(platform);
  ASSERT_EQ(texts.size(), GetParam().units);
  for (uint64_t unit = 0; unit < GetParam().units; ++unit) {
    char expected[80];
    uint64_t first = start + unit * GetParam().unitSize;
    std::snprintf(expected, sizeof(expected), "erase 0x%08llX-0x%08llX (%llu bytes)",
                  static_cast<unsigned long long>(first),
                  static_cast<unsigned long long>(first + GetParam().unitSize - 1),
                  static_cast<unsigned long long>(GetParam().unitSize));
    EXPECT_EQ(texts[unit], expected);
  }
  EXPECT_EQ(FlashBytes(platform, start, GetParam().length), std::vector<uint8_t>(GetParam().length, 0xFF));
}

INSTANTIATE_TEST_SUITE_P(Lengths, ParallelErase,
                         ::testing::Values(ParallelEraseCase{0x2000, 2, 0x1000}, ParallelEraseCase{0x10000, 1, 0x10000},
                                           ParallelEraseCase{0x20000, 2, 0x10000},
                                           ParallelEraseCase{0x11000, 17, 0x1000}),
                         simtest::CaseName<ParallelEraseCase>);

TEST(ParallelErase, EachUnitIsTheSixCycleJedecSequence) {
  sim::Platform platform(FlashPlatform(Flash::Parallel));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Bus().SetLogging(true);
  ASSERT_EQ(simtest::Call(probe->EraseRange, 0xFFD81000, 0x1000), EFI_SUCCESS);
  const std::vector<std::pair<uint64_t, uint8_t>> expected = {{0xFF805555, 0xAA}, {0xFF802AAA, 0x55},
                                                              {0xFF805555, 0x80}, {0xFF805555, 0xAA},
                                                              {0xFF802AAA, 0x55}, {0xFFD81000, 0x30}};
  EXPECT_EQ(WindowWrites(platform), expected);
}

TEST(ParallelErase, LengthsThatAreNotWholeSectorsAreRefusedWithoutACommand) {
  sim::Platform platform(FlashPlatform(Flash::Parallel));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Bus().SetLogging(true);
  for (UINTN length : {UINTN{0}, UINTN{100}, UINTN{0x1001}, UINTN{0x1800}}) {
    EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, length), EFI_INVALID_PARAMETER) << length;
  }
  EXPECT_TRUE(WindowWrites(platform).empty());
}

TEST(ParallelWrite, DataTheFlashAlreadyHoldsIssuesNoCommand) {
  sim::Platform platform(FlashPlatform(Flash::Parallel));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  std::vector<uint8_t> data = Pattern(300, 0x10);
  platform.Flash().Load(0xFFD80000, data);
  platform.Bus().SetLogging(true);
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD80000, data.data(), &length), EFI_SUCCESS);
  EXPECT_EQ(length, data.size());
  EXPECT_TRUE(WindowWrites(platform).empty());
}

TEST(ParallelWrite, OverBytesThatAreNotErasedFailsAndCutsTheLengthAtTheFailingByte) {
  sim::Platform platform(FlashPlatform(Flash::Parallel));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Flash().Load(0xFFD80000, {0xFF, 0xFF, 0x0F, 0xFF, 0xFF});
  const std::vector<uint8_t> data = {0x12, 0x34, 0xF0, 0x56, 0x78};
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD80000, data.data(), &length), EFI_DEVICE_ERROR);
  EXPECT_EQ(length, 2u);
  // Programming can only clear bits: 0x0F programmed with 0xF0 reads 0x00.
  EXPECT_EQ(FlashBytes(platform, 0xFFD80000, 5), (std::vector<uint8_t>{0x12, 0x34, 0x00, 0xFF, 0xFF}));
}

TEST(ParallelAccess, APartThatNeverFinishesIsGivenUpOnWithinThePollBounds) {
  sim::PlatformProfile profile = FlashPlatform(Flash::Parallel);
  profile.flash.faults.stuckBusy = true;
  sim::Platform platform(profile);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  sim::Cpu &cpu = platform.Processor();

  uint64_t before = cpu.NowPs();
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x1000), EFI_DEVICE_ERROR);
  double erasingMs = static_cast<double>(cpu.NowPs() - before) / 1e9;
  EXPECT_GE(erasingMs, 100.0) << "50001 polls, 2 microseconds apart";
  EXPECT_LT(erasingMs, 150.0);

  std::vector<uint8_t> data = {0x00, 0x00};
  UINTN length = data.size();
  before = cpu.NowPs();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD82000, data.data(), &length), EFI_DEVICE_ERROR);
  double writingMs = static_cast<double>(cpu.NowPs() - before) / 1e9;
  EXPECT_EQ(length, 0u);
  EXPECT_GE(writingMs, 100.0) << "50000 polls after the first read";
  EXPECT_LT(writingMs, 150.0);
}

// --- Access type 1: firmware hub ---

TEST(FirmwareHubErase, LengthsThatAreNotWhole64KiBBlocksAreRefused) {
  sim::Platform platform(FlashPlatform(Flash::FirmwareHub));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Bus().SetLogging(true);
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x2000), EFI_INVALID_PARAMETER) << "the tag store's span";
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x18000), EFI_INVALID_PARAMETER);
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0), EFI_SUCCESS) << "nothing to erase";
  EXPECT_TRUE(WindowWrites(platform).empty());
}

TEST(FirmwareHubErase, ABlockIsErasedThroughTheStatusRegisterAndLeftInReadArrayMode) {
  sim::Platform platform(FlashPlatform(Flash::FirmwareHub));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Flash().Load(0xFFD90000, std::vector<uint8_t>(0x10000, 0x00));
  platform.Bus().SetLogging(true);
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD90000, 0x10000), EFI_SUCCESS);
  EXPECT_EQ(FlashBytes(platform, 0xFFD90000, 0x10000), std::vector<uint8_t>(0x10000, 0xFF));
  const std::vector<std::pair<uint64_t, uint8_t>> expected = {
      {0xFFD90000, 0x20}, {0xFFD90000, 0xD0}, {0xFFD90000, 0x70}, {0xFFD90000, 0x50}, {0xFFDC0000, 0xFF}};
  EXPECT_EQ(WindowWrites(platform), expected);
  EXPECT_TRUE(platform.Flash().Hub()->InReadArrayMode());
}

TEST(FirmwareHubErase, ABlockThatReportsAnEraseErrorFailsTheErase) {
  sim::Platform platform(FlashPlatform(Flash::FirmwareHub));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Flash().Faults().failEraseNth = 1;
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x20000), EFI_DEVICE_ERROR);
  EXPECT_EQ(platform.Flash().Monitor().Erases(), 2u) << "the second block was still erased";
  EXPECT_EQ(FlashBytes(platform, 0xFFD90000, 4), std::vector<uint8_t>(4, 0xFF));
}

TEST(FirmwareHubWrite, ProgramsEachByteAndReturnsToReadArrayMode) {
  sim::Platform platform(FlashPlatform(Flash::FirmwareHub));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  std::vector<uint8_t> data = Pattern(64, 0x42);
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD82000, data.data(), &length), EFI_SUCCESS);
  EXPECT_EQ(length, 64u);
  EXPECT_EQ(FlashBytes(platform, 0xFFD82000, 64), data);
  EXPECT_TRUE(platform.Flash().Hub()->InReadArrayMode());
  EXPECT_EQ(platform.Flash().Hub()->Status() & 0x38, 0) << "status cleared";
}

TEST(FirmwareHubWrite, AByteThatReportsAProgramErrorStopsTheWriteThere) {
  sim::Platform platform(FlashPlatform(Flash::FirmwareHub));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Flash().Faults().failProgramNth = 5;
  std::vector<uint8_t> data = Pattern(16, 0x42);
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD82000, data.data(), &length), EFI_DEVICE_ERROR);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(platform.Flash().Monitor().Programs(), 5u) << "nothing after the failing byte";
  EXPECT_TRUE(platform.Flash().Hub()->InReadArrayMode());
  EXPECT_EQ(platform.Flash().Hub()->Status() & 0x38, 0);
}

TEST(FirmwareHubWrite, APartThatNeverFinishesTimesOutAfterTenSecondsOfWaiting) {
  sim::PlatformProfile profile = FlashPlatform(Flash::FirmwareHub);
  profile.flash.faults.stuckBusy = true;
  sim::Platform platform(profile);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  // Coarser pause steps keep the five million polls quick; the delays stay 2 microseconds.
  platform.Processor().Costs().pauseNs = 2000;
  std::vector<uint8_t> data = {0x01, 0x02};
  UINTN length = data.size();
  uint64_t before = platform.Processor().NowPs();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD82000, data.data(), &length), EFI_DEVICE_ERROR);
  double seconds = static_cast<double>(platform.Processor().NowPs() - before) / 1e12;
  EXPECT_EQ(length, 0u);
  EXPECT_GE(seconds, 10.0);
  EXPECT_LT(seconds, 40.0);
}

// --- Access type 3: SPI ---

TEST(SpiWrite, ChipsetSpiWritesGoOutIn4KiBChunks) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  std::vector<uint8_t> data = Pattern(10000, 0x07);
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFE00000, data.data(), &length), EFI_SUCCESS);
  EXPECT_EQ(FlashTexts(platform),
            (std::vector<std::string>{"ChipsetSpi Write linear 0x00E00000, 4096 bytes (at 0xFFE00000)",
                                      "ChipsetSpi Write linear 0x00E01000, 4096 bytes (at 0xFFE01000)",
                                      "ChipsetSpi Write linear 0x00E02000, 1808 bytes (at 0xFFE02000)"}));
  EXPECT_EQ(FlashBytes(platform, 0xFFE00000, data.size()), data);
}

TEST(SpiWrite, TheFirstFailingChunkEndsTheWriteWithItsStatus) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Flash().Faults().failProgramNth = 20;  // a page of the second chunk
  std::vector<uint8_t> data = Pattern(10000, 0x07);
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD80000, data.data(), &length), EFI_DEVICE_ERROR);
  EXPECT_EQ(FlashTexts(platform).size(), 2u);
}

TEST(SpiErase, WithoutTheRegionServiceOneChipsetEraseCoversTheRange) {
  sim::Platform platform(FlashPlatform(Flash::SpiSmmNoRegion));
  TAG_STORE_PROBE *probe = LoadProbe(platform, true);
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x2000), EFI_SUCCESS);
  // Linear address = 0x380000 into the BIOS region + the region's offset 0xA00000.
  EXPECT_EQ(FlashTexts(platform),
            (std::vector<std::string>{"ChipsetSpi Erase linear 0x00D80000, 8192 bytes (at 0xFFD80000)"}));
}

TEST(SpiErase, TheRegionServiceErases4KiBBlocksAtBiosRegionOffsetsThenCompletes) {
  sim::Platform platform(FlashPlatform(Flash::SpiSmmRegion));
  TAG_STORE_PROBE *probe = LoadProbe(platform, true);
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x2000), EFI_SUCCESS);
  EXPECT_EQ(FlashTexts(platform),
            (std::vector<std::string>{"RegionFlash EraseBlock offset 0x380000, 4096 bytes (at 0xFFD80000)",
                                      "RegionFlash EraseBlock offset 0x381000, 4096 bytes (at 0xFFD81000)",
                                      "RegionFlash Complete"}));
}

TEST(SpiWrite, TheRegionServiceWritesIn64KiBChunksAndReportsTheFirstFailure) {
  sim::Platform platform(FlashPlatform(Flash::SpiSmmRegion));
  TAG_STORE_PROBE *probe = LoadProbe(platform, true);
  std::vector<uint8_t> data = Pattern(0x11000, 0x19);
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFA10000, data.data(), &length), EFI_SUCCESS);
  EXPECT_EQ(FlashTexts(platform),
            (std::vector<std::string>{
                "RegionFlash Write offset 0x010000, 65536 bytes (at 0xFFA10000)", "RegionFlash Complete",
                "RegionFlash Write offset 0x020000, 4096 bytes (at 0xFFA20000)", "RegionFlash Complete"}));
  EXPECT_EQ(FlashBytes(platform, 0xFFA10000, data.size()), data);

  // A failure in the first chunk is not hidden by the second chunk's success.
  platform.Trace().Clear();
  platform.Flash().Faults().failProgramNth = platform.Flash().Monitor().Programs() + 1;
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFA40000, data.data(), &length), EFI_DEVICE_ERROR);
  EXPECT_EQ(FlashTexts(platform).size(), 4u) << "both chunks were written";
}

struct SpiAddressCase {
  const char *name;
  Flash flash;
  uint64_t address;
  UINTN length;
  EFI_STATUS status;
  const char *firstEffect;  // "" when nothing is issued
};
SIMTEST_PRINTS_CASE(SpiAddressCase)

class SpiAddresses : public ::testing::TestWithParam<SpiAddressCase> {};

TEST_P(SpiAddresses, AreCheckedAndRoutedToTheRightService) {
  const SpiAddressCase &c = GetParam();
  sim::Platform platform(FlashPlatform(c.flash));
  TAG_STORE_PROBE *probe = LoadProbe(platform, RunsInSmm(c.flash));
  std::vector<uint8_t> data(c.length, 0x5A);
  UINTN length = c.length;
  EXPECT_EQ(simtest::Call(probe->WriteRange, c.address, data.data(), &length), c.status);
  std::vector<std::string> texts = FlashTexts(platform);
  if (*c.firstEffect == '\0') {
    EXPECT_TRUE(texts.empty());
  } else {
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], c.firstEffect);
  }
}

// 16-MiB flash: it starts at 0xFF000000 in memory; the BIOS region is 0xFFA00000-0xFFFFFFFF.
INSTANTIATE_TEST_SUITE_P(
    Cases, SpiAddresses,
    ::testing::Values(SpiAddressCase{"FlashStart", Flash::SpiSmmRegion, 0xFF000000, 4, EFI_SUCCESS,
                                     "ChipsetSpi Write linear 0x00000000, 4 bytes (at 0xFF000000)"},
                      SpiAddressCase{"BelowTheFlash", Flash::SpiBoot, 0xFEFFFFFF, 1, EFI_INVALID_PARAMETER, ""},
                      SpiAddressCase{"BelowTheBiosRegion", Flash::SpiSmmRegion, 0xFF9FFFFF, 1, EFI_SUCCESS,
                                     "ChipsetSpi Write linear 0x009FFFFF, 1 bytes (at 0xFF9FFFFF)"},
                      SpiAddressCase{"BiosRegionStart", Flash::SpiSmmRegion, 0xFFA00000, 1, EFI_SUCCESS,
                                     "RegionFlash Write offset 0x000000, 1 bytes (at 0xFFA00000)"},
                      SpiAddressCase{"LastByteTakesTheSpiPath", Flash::SpiSmmRegion, 0xFFFFFFFF, 1, EFI_SUCCESS,
                                     "ChipsetSpi Write linear 0x00FFFFFF, 1 bytes (at 0xFFFFFFFF)"},
                      SpiAddressCase{"RunningPastTheTop", Flash::SpiBoot, 0xFFFFFFF0, 0x20, EFI_INVALID_PARAMETER, ""}),
    simtest::CaseName<SpiAddressCase>);

TEST(SpiAccess, WithoutTheControllersDescriptorLinearAddressesAreRefusedButTheRegionServiceWorks) {
  for (Flash flash : {Flash::SpiBoot, Flash::SpiSmmRegion}) {
    sim::Platform platform(FlashPlatform(flash));
    platform.Pci().Remove(0, 31, 5);  // hidden controller: no descriptor to read
    TAG_STORE_PROBE *probe = LoadProbe(platform, RunsInSmm(flash));
    SCOPED_TRACE(FlashName(flash));
    std::vector<uint8_t> data(16, 0x5A);
    UINTN length = data.size();
    if (flash == Flash::SpiBoot) {
      EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFE00000, data.data(), &length), EFI_NOT_READY);
      EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFE00000, 0x1000), EFI_NOT_READY);
      EXPECT_TRUE(FlashEffects(platform).empty());
    } else {
      EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFE00000, data.data(), &length), EFI_SUCCESS);
      EXPECT_EQ(FlashBytes(platform, 0xFFE00000, 16), data);
    }
    EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFF9FF000, data.data(), &length), EFI_INVALID_PARAMETER)
        << "below the BIOS region";
  }
}

// --- No usable device ---

TEST(FlashAccess, AccessType2IsRefusedForEraseAndWrite) {
  sim::PlatformProfile profile;
  profile.flash.kind = sim::FlashPartKind::ParallelJedec;
  profile.flash.partSize = 0x800000;
  sim::AddFlashCandidate(profile, {0x40, sim::FlashDescriptor(2, 0x1234, 0, 16, 2048),
                                   sim::ParallelCommandData(0xFF800000, 0xFF805555, 0xFF802AAA), "X", "Y"});
  sim::SetChosenFlashToken(profile, 0);
  sim::Platform platform(profile);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  ASSERT_NE(simtest::Call(probe->CurrentContext), nullptr) << "the last candidate tried stays current";
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x1000), EFI_UNSUPPORTED);
  uint8_t byte = 0;
  UINTN length = 1;
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD80000, &byte, &length), EFI_UNSUPPORTED);
}

TEST(FlashAccess, WithNoDeviceAtAllNothingIsWrittenAndTheStoreKeepsItsRecordsDirty) {
  sim::PlatformProfile profile = FlashPlatform(Flash::SpiBoot);
  profile.pcds.clear();
  sim::SetChosenFlashToken(profile, 0);
  sim::Platform platform(profile);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  ASSERT_EQ(simtest::Call(probe->CurrentContext), nullptr);
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x1000), EFI_NOT_FOUND);
  uint8_t byte = 0;
  UINTN length = 1;
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD80000, &byte, &length), EFI_NOT_FOUND);
  uint64_t size = 0;
  std::vector<uint8_t> plog(512, 0x01);
  ASSERT_TRUE(simtest::Call(probe->Write, kPlog, &size, plog.data()));
  EXPECT_FALSE(simtest::Call(probe->Flush));
  EXPECT_EQ(Entry(probe, kPlog)->Dirty, 1);
  EXPECT_TRUE(FlashEffects(platform).empty());
}

}  // namespace

// Parallel and firmware-hub parts are sent commands only inside their own window below
// 4 GiB: a range below it, across its top, or in memory is refused before any cycle.
struct OutsideRange {
  const char *name;
  uint64_t address;
  UINTN length;
};
SIMTEST_PRINTS_CASE(OutsideRange)

class ParallelWindow : public ::testing::TestWithParam<std::tuple<Flash, OutsideRange>> {};

TEST_P(ParallelWindow, RefusesARangeOutsideThePartWithoutACycle) {
  const auto &[flash, range] = GetParam();
  sim::Platform platform(FlashPlatform(flash));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  auto *memory = static_cast<uint8_t *>(platform.Memory().AllocatePool(EfiLoaderData, 0x20000));
  std::memset(memory, 0x5A, 0x20000);
  const uint64_t address = range.address != 0 ? range.address : reinterpret_cast<uint64_t>(memory);
  std::vector<uint8_t> data(range.length, 0x00);
  platform.Bus().SetLogging(true);
  EXPECT_EQ(simtest::Call(probe->EraseRange, address, range.length), EFI_INVALID_PARAMETER);
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->WriteRange, address, data.data(), &length), EFI_INVALID_PARAMETER);
  for (const sim::BusAccess &access : platform.Bus().Log()) {
    EXPECT_NE(access.kind, sim::BusAccess::Kind::MmioWrite) << std::hex << access.address;
  }
  EXPECT_EQ(std::count(memory, memory + 0x20000, 0x5A), 0x20000);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ParallelWindow,
                         ::testing::Combine(::testing::Values(Flash::Parallel, Flash::FirmwareHub),
                                            ::testing::Values(OutsideRange{"BelowThePart", 0xFF700000, 0x10000},
                                                              OutsideRange{"AcrossTheTopOf4GiB", 0xFFFF0000, 0x20000},
                                                              OutsideRange{"InMemory", 0, 0x10000})),
                         [](const auto &info) {
                           return std::string(FlashName(std::get<0>(info.param))) + "_" + std::get<1>(info.param).name;
                         });

TEST(ParallelWindow, AJedecPartWhoseCommandAddressLiesOutsideItIsSentNothing) {
  sim::PlatformProfile profile = FlashPlatform(Flash::Parallel);
  // The candidate table names an unlock address in memory, not in the part.
  for (sim::PlatformProfile::Pcd &pcd : profile.pcds) {
    if (pcd.space && sim::SameGuid(*pcd.space, gFlashCommandTokenSpaceGuid)) {
      pcd.value = sim::ParallelCommandData(0xFF800000, 0x10005555, 0xFF802AAA);
    }
  }
  sim::Platform platform(profile);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  platform.Bus().SetLogging(true);
  std::vector<uint8_t> data(16, 0x00);
  UINTN length = data.size();
  EXPECT_EQ(simtest::Call(probe->EraseRange, 0xFFD80000, 0x2000), EFI_INVALID_PARAMETER);
  EXPECT_EQ(simtest::Call(probe->WriteRange, 0xFFD80000, data.data(), &length), EFI_INVALID_PARAMETER);
  EXPECT_TRUE(WindowWrites(platform).empty());
}
