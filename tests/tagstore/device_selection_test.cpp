// Flash device selection: what FlashLayerInit learns and binds, the walk over the
// candidate table with the remembered token, the context built from a candidate, and
// SFDP discovery for the generic SPI device.
#include <gtest/gtest.h>

#include "platform_sim/firmware/guid_util.h"
#include "runtime/uefi/guids.h"
#include "tagstore/flash/flash_layer_state.h"
#include "tests/images/probe.h"
#include "tests/tagstore/tag_store_fixture.h"
#include "tests/support/case_names.h"

namespace {

using namespace tagtest;

constexpr UINTN kGeneric = sim::kGenericSpiToken;
constexpr uint32_t kPartId = 0x001840EF;  // EF 40 18, first byte lowest

// The candidates whose descriptors the image asked for, in order: the candidates tried.
std::vector<UINTN> Tried(sim::Platform &platform) {
  const std::string prefix = "PcdGetPtr FlashDescriptorSpace 0x";
  std::vector<UINTN> tokens;
  for (const std::string &entry : platform.Core().CallLog()) {
    if (entry.rfind(prefix, 0) == 0) tokens.push_back(std::stoull(entry.substr(prefix.size()), nullptr, 16));
  }
  return tokens;
}

uint32_t ChosenToken(sim::Platform &platform) {
  return static_cast<uint32_t>(platform.Pcds().Number(platform.Pcds().Find(sim::kChosenFlashToken)));
}

// An SPI platform whose table holds exactly the given candidates.
sim::PlatformProfile SpiTable(const std::vector<sim::FlashCandidate> &candidates, uint32_t remembered) {
  sim::PlatformProfile profile = FlashPlatform(Flash::SpiBoot);
  profile.pcds.clear();
  for (const sim::FlashCandidate &candidate : candidates) sim::AddFlashCandidate(profile, candidate);
  sim::SetChosenFlashToken(profile, remembered);
  return profile;
}

sim::FlashCandidate SpiCandidate(UINTN token, uint32_t id, sim::SpiCommandOptions options = {}) {
  return {token, sim::FlashDescriptor(3, id, 0, 16, 4096), sim::SpiCommandData(options), "Part", "Maker"};
}

struct WalkCase {
  const char *name;
  std::vector<UINTN> table;
  std::vector<UINTN> identifying;
  uint32_t remembered;
  std::vector<UINTN> tried;
  uint32_t chosen;
};
SIMTEST_PRINTS_CASE(WalkCase)

class CandidateWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(CandidateWalk, TriesTheRememberedTokenThenTheOnesAfterItThenTheGenericDevice) {
  const WalkCase &c = GetParam();
  std::vector<sim::FlashCandidate> candidates;
  for (UINTN token : c.table) {
    bool identifies =
        token == kGeneric || std::find(c.identifying.begin(), c.identifying.end(), token) != c.identifying.end();
    candidates.push_back(SpiCandidate(token, token == kGeneric ? kGeneric : identifies ? kPartId : 0x00AABBCC));
  }
  sim::Platform platform(SpiTable(candidates, c.remembered));
  LoadProbe(platform);
  EXPECT_EQ(Tried(platform), c.tried);
  EXPECT_EQ(ChosenToken(platform), c.chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CandidateWalk,
    ::testing::Values(
        WalkCase{"NothingRememberedNothingIdentifies", {5, kGeneric, 9}, {}, 0, {5, 9, kGeneric}, kGeneric},
        WalkCase{"NothingRememberedSecondIdentifies", {5, kGeneric, 9}, {9}, 0, {5, 9}, 9},
        WalkCase{"RememberedFailsOnlyLaterTokensTried", {5, kGeneric, 9, 11}, {}, 9, {9, 11, kGeneric}, kGeneric},
        WalkCase{"RememberedIdentifies", {5, 9, 11}, {5, 9}, 9, {9}, 9},
        WalkCase{"RememberedGenericFirst", {5, kGeneric, 9}, {5}, kGeneric, {kGeneric}, kGeneric},
        WalkCase{"RememberedTokenGoneFromTheTable", {5, 9}, {5}, 7, {7, kGeneric}, kGeneric},
        WalkCase{"EmptyTable", {}, {}, 0, {kGeneric}, kGeneric}),
    simtest::CaseName<WalkCase>);

TEST(CandidateWalk, TheChosenTokenIsRememberedForTheNextBoot) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  LoadProbe(platform);
  EXPECT_EQ(Tried(platform), (std::vector<UINTN>{0x10, 0x11}));
  EXPECT_EQ(ChosenToken(platform), 0x11u);
  platform.Reboot();
  LoadProbe(platform);
  EXPECT_EQ(Tried(platform), (std::vector<UINTN>{0x11}));
}

TEST(CandidateWalk, EachSpiIdentificationReportsPostCode41) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  LoadProbe(platform);
  ASSERT_EQ(Tried(platform).size(), 2u);
  std::vector<uint32_t> codes;
  for (const sim::PostCodeWrite &code : platform.PostCodes().Codes()) codes.push_back(code.value);
  EXPECT_EQ(codes, (std::vector<uint32_t>{0x41, 0x41}));
}

TEST(CandidateWalk, AccessTypesAbove3ArePassedOverWithoutTouchingTheHardware) {
  sim::PlatformProfile profile = FlashPlatform(Flash::Parallel);
  profile.pcds.clear();
  sim::AddFlashCandidate(profile, {0x20, sim::FlashDescriptor(4, 0x6DBF, 0, 16, 2048),
                                   sim::ParallelCommandData(0xFF800000, 0xFF805555, 0xFF802AAA), "X", "Y"});
  sim::SetChosenFlashToken(profile, 0);
  sim::Platform platform(profile);
  platform.Bus().SetLogging(true);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  EXPECT_EQ(simtest::Call(probe->CurrentContext), nullptr);
  for (const sim::BusAccess &access : platform.Bus().Log()) {
    EXPECT_FALSE(access.address >= 0xFF800000 && access.kind == sim::BusAccess::Kind::MmioWrite)
        << std::hex << access.address;
  }
}

// --- Candidate records and the context ---

struct OversizeCase {
  const char *name;
  size_t descriptorSize;
  size_t commandSize;
  uint32_t accessType;
  bool accepted;
};
SIMTEST_PRINTS_CASE(OversizeCase)

class CandidateSizes : public ::testing::TestWithParam<OversizeCase> {};

TEST_P(CandidateSizes, EntriesLargerThanTheirRoomRejectTheCandidate) {
  const OversizeCase &c = GetParam();
  sim::PlatformProfile profile = c.accessType == 3 ? FlashPlatform(Flash::SpiBoot) : FlashPlatform(Flash::Parallel);
  profile.pcds.clear();
  std::vector<uint8_t> descriptor =
      sim::FlashDescriptor(c.accessType, c.accessType == 3 ? kPartId : 0x6DBF, 0, 16, 2048);
  descriptor.resize(c.descriptorSize, 0);
  std::vector<uint8_t> command =
      c.accessType == 3 ? sim::SpiCommandData() : sim::ParallelCommandData(0xFF800000, 0xFF805555, 0xFF802AAA);
  command.resize(c.commandSize, 0);
  sim::AddFlashCandidate(profile, {0x20, descriptor, command, "Name", "Maker"});
  sim::SetChosenFlashToken(profile, 0);
  sim::Platform platform(profile);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  EXPECT_EQ(ChosenToken(platform), c.accepted ? 0x20u : kGeneric);
  EXPECT_EQ(simtest::Call(probe->CurrentContext) != nullptr, c.accepted)
      << "a rejected record never reaches the context";
}

INSTANTIATE_TEST_SUITE_P(Cases, CandidateSizes,
                         ::testing::Values(OversizeCase{"Parallel", 16, 32, 0, true},
                                           OversizeCase{"ParallelDescriptor17", 17, 32, 0, false},
                                           OversizeCase{"ParallelCommand33", 16, 33, 0, false},
                                           OversizeCase{"Spi", 16, 64, 3, true},
                                           OversizeCase{"SpiCommand65", 16, 65, 3, false}),
                         simtest::CaseName<OversizeCase>);

TEST(CandidateRecord, NamesAreCutTo32BytesAndTheZeroFilledRestStaysZero) {
  sim::PlatformProfile profile = FlashPlatform(Flash::Parallel);
  profile.pcds.clear();
  std::string longName(40, 'L');
  sim::AddFlashCandidate(profile, {0x20, sim::FlashDescriptor(0, 0x6DBF, 0, 16, 2048),
                                   sim::ParallelCommandData(0xFF800000, 0xFF805555, 0xFF802AAA), longName, "Short"});
  sim::SetChosenFlashToken(profile, 0);
  sim::Platform platform(profile);
  FlashDeviceContext *context = simtest::Call(LoadProbe(platform)->CurrentContext);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(std::string(context->FirstName, 32), std::string(32, 'L'));
  EXPECT_EQ(std::string(context->SecondName, 32), std::string("Short") + std::string(27, '\0'));
}

TEST(CandidateRecord, AnSpiCandidateFillsTheContextAndBuildsTheParameterBlock) {
  sim::SpiCommandOptions options;
  options.flags[0] = 1;
  options.flags[1] = 0;
  options.flags[2] = 1;
  options.flags[3] = 1;
  options.idLength = 3;
  options.byte21 = 0x0A;
  options.byte22 = 3;
  options.stored[0] = 0xDE;
  options.stored[3] = 0xAD;
  options.eraseBlockSize = 0x1000;
  options.extra = 0x12345;
  sim::PlatformProfile profile = SpiTable({{0x20, sim::FlashDescriptor(3, kPartId, 0xC0FFEE, 16, 4096),
                                            sim::SpiCommandData(options), "W25Q128JV", "Winbond"}},
                                          0);
  sim::Platform platform(profile);
  FlashDeviceContext *context = simtest::Call(LoadProbe(platform)->CurrentContext);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(ChosenToken(platform), 0x20u);
  EXPECT_EQ(context->AccessType, 3u);
  EXPECT_EQ(context->DeviceId, kPartId);
  EXPECT_EQ(context->Info, 0xC0FFEEu);
  EXPECT_EQ(context->SizeCode, 8) << "16 MiB";
  EXPECT_EQ(context->BlockSize256, 16);
  EXPECT_EQ(context->BlockCount, 4096);
  EXPECT_EQ(context->Reserved, 0xFFFF);
  EXPECT_STREQ(context->FirstName, "W25Q128JV");
  auto *block = static_cast<SPI_PARAMETER_BLOCK *>(context->Parameters);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(block->Instructions, block->Instructions + 12), options.instructions);
  // Flags: bits 0-3 from bytes 16-19, ID length 3 in bits 4-6, 0x0A & 7 in bits 7-9, bit 10.
  EXPECT_EQ(block->Flags, 0x1u | 0x4u | 0x8u | (3u << 4) | (2u << 7) | (1u << 10));
  EXPECT_EQ(std::vector<uint8_t>(block->Stored, block->Stored + 4), (std::vector<uint8_t>{0xDE, 0x01, 0x00, 0xAD}));
  EXPECT_EQ(block->EraseBlockSize, 0x1000u);
  EXPECT_EQ(block->Extra, 0x12345u);
  EXPECT_EQ(block->Density, 0x1000000u);
}

TEST(CandidateRecord, AParallelCandidateCarriesItsThreeCommandAddresses) {
  sim::Platform platform(FlashPlatform(Flash::Parallel));
  FlashDeviceContext *context = simtest::Call(LoadProbe(platform)->CurrentContext);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(ChosenToken(platform), 0x20u);
  EXPECT_EQ(context->AccessType, 0u);
  auto *block = static_cast<PARALLEL_COMMAND_BLOCK *>(context->Parameters);
  EXPECT_EQ(block->IdAddress, 0xFF800000u);
  EXPECT_EQ(block->Command1Address, 0xFF805555u);
  EXPECT_EQ(block->Command2Address, 0xFF802AAAu);
  EXPECT_FALSE(platform.Flash().Jedec()->InIdMode()) << "identification leaves the part in read mode";
}

TEST(CandidateRecord, AJedecIdLongerThanFourBytesRejectsTheCandidate) {
  sim::SpiCommandOptions options;
  options.idLength = 5;
  sim::Platform platform(SpiTable({SpiCandidate(0x20, kPartId, options)}, 0));
  LoadProbe(platform);
  EXPECT_EQ(ChosenToken(platform), kGeneric);
}

struct SizeCodeCase {
  uint16_t blockSize256;
  uint16_t blockCount;
  uint8_t code;
};
std::string NameOf(const SizeCodeCase &c) {
  return std::to_string(c.blockCount) + "BlocksOf" + std::to_string(c.blockSize256 * 256u);
}
SIMTEST_PRINTS_CASE(SizeCodeCase)

class SizeCodes : public ::testing::TestWithParam<SizeCodeCase> {};

TEST_P(SizeCodes, FollowTheDeviceSizeFromTheDescriptor) {
  sim::PlatformProfile profile = FlashPlatform(Flash::Parallel);
  profile.pcds.clear();
  sim::AddFlashCandidate(profile,
                         {0x20, sim::FlashDescriptor(0, 0x6DBF, 0, GetParam().blockSize256, GetParam().blockCount),
                          sim::ParallelCommandData(0xFF800000, 0xFF805555, 0xFF802AAA), "P", "M"});
  sim::SetChosenFlashToken(profile, 0);
  sim::Platform platform(profile);
  FlashDeviceContext *context = simtest::Call(LoadProbe(platform)->CurrentContext);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->SizeCode, GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeCodes,
                         ::testing::Values(SizeCodeCase{16, 32, 1}, SizeCodeCase{16, 64, 2}, SizeCodeCase{256, 8, 3},
                                           SizeCodeCase{16, 256, 4}, SizeCodeCase{16, 512, 5},
                                           SizeCodeCase{16, 1024, 6}, SizeCodeCase{16, 2048, 7},
                                           SizeCodeCase{16, 4096, 8}, SizeCodeCase{16, 8192, 9},
                                           SizeCodeCase{16, 16384, 0xFF}, SizeCodeCase{16, 48, 0xFF},
                                           SizeCodeCase{0, 0, 0xFF}),
                         simtest::CaseName<SizeCodeCase>);

// --- SFDP discovery for the generic device ---

struct SfdpCase {
  const char *name;
  std::vector<uint8_t> sfdp;
  bool identifies;
  uint8_t sizeCode;
  uint16_t blockSize256;
  uint16_t blockCount;
  uint64_t density;
  uint8_t eraseInstruction;
};
SIMTEST_PRINTS_CASE(SfdpCase)

std::vector<uint8_t> WithoutSignature() {
  std::vector<uint8_t> sfdp = sim::BuildSfdp(0xE5, 0x21, 0x07FFFFFF);
  sfdp[0] = 'X';
  return sfdp;
}

std::vector<uint8_t> ShortHeader() {
  std::vector<uint8_t> sfdp = sim::BuildSfdp(0xE5, 0x21, 0x07FFFFFF);
  sfdp[11] = 1;
  return sfdp;
}

class SfdpDiscovery : public ::testing::TestWithParam<SfdpCase> {};

// The generic device is remembered from an earlier boot, so it is tried first: when it
// does not identify, the walk goes on to token 7.
TEST_P(SfdpDiscovery, TheBasicParameterTableGivesTheGeometry) {
  const SfdpCase &c = GetParam();
  // Descriptor geometry: 8 MiB in 4-KiB blocks; command data: erase instruction 0x20.
  sim::PlatformProfile profile =
      SpiTable({{kGeneric, sim::FlashDescriptor(3, kGeneric, 0, 16, 2048), sim::SpiCommandData(), "SFDP", "Generic"},
                SpiCandidate(7, 0x00AABBCC)},
               kGeneric);
  profile.flash.components[0].sfdp = c.sfdp;
  sim::Platform platform(profile);
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  std::vector<UINTN> tried = {kGeneric};
  if (!c.identifies) tried = {kGeneric, 7, kGeneric};
  EXPECT_EQ(Tried(platform), tried);
  if (!c.identifies) return;
  FlashDeviceContext *context = simtest::Call(probe->CurrentContext);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->SizeCode, c.sizeCode);
  EXPECT_EQ(context->BlockSize256, c.blockSize256);
  EXPECT_EQ(context->BlockCount, c.blockCount);
  auto *block = static_cast<SPI_PARAMETER_BLOCK *>(context->Parameters);
  EXPECT_EQ(block->Density, c.density);
  EXPECT_EQ(block->Instructions[1], c.eraseInstruction);
  EXPECT_EQ(block->EraseBlockSize, 4096u);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SfdpDiscovery,
    ::testing::Values(
        SfdpCase{"Density128Mbit", sim::BuildSfdp(0xE5, 0x21, 0x07FFFFFF), true, 8, 16, 4096, 0x1000000, 0x21},
        SfdpCase{"Density1Mbit", sim::BuildSfdp(0xE5, 0x21, 0x000FFFFF), true, 1, 16, 32, 0x20000, 0x21},
        SfdpCase{"Density2GbitHasNoSizeCode", sim::BuildSfdp(0xE5, 0x21, 0x7FFFFFFF), true, 0xFF, 16, 0xFFFF,
                 0x10000000, 0x21},
        SfdpCase{"Density4GbitAsPowerOfTwo", sim::BuildSfdp(0xE5, 0x21, 0x80000020), true, 0xFF, 16, 0xFFFF, 0x20000000,
                 0x21},
        SfdpCase{"Density8GbitAsPowerOfTwo", sim::BuildSfdp(0xE5, 0x21, 0x80000021), true, 0xFF, 16, 0xFFFF, 0x40000000,
                 0x21},
        SfdpCase{"Density16MbitAsPowerOfTwo", sim::BuildSfdp(0xE5, 0x21, 0x80000018), true, 5, 16, 512, 0x200000, 0x21},
        SfdpCase{"NoSignatureKeepsTheDescriptorGeometry", WithoutSignature(), true, 7, 16, 2048, 0x800000, 0x20},
        SfdpCase{"OneDwordTableKeepsTheDescriptorGeometry", ShortHeader(), true, 7, 16, 2048, 0x800000, 0x20},
        SfdpCase{"No4KiBErase", sim::BuildSfdp(0xE4, 0x21, 0x07FFFFFF), false, 0, 0, 0, 0, 0},
        SfdpCase{"EraseInstructionFF", sim::BuildSfdp(0xE5, 0xFF, 0x07FFFFFF), false, 0, 0, 0, 0, 0},
        SfdpCase{"PowerOfTwoBelowOneByte", sim::BuildSfdp(0xE5, 0x21, 0x80000002), false, 0, 0, 0, 0, 0}),
    simtest::CaseName<SfdpCase>);

TEST(SfdpDiscovery, WriteGranularityAndStatusFlagsComeFromTheFirstTableByte) {
  for (uint8_t first : {uint8_t{0xE1}, uint8_t{0xE5}, uint8_t{0xE9}, uint8_t{0xED}}) {
    sim::PlatformProfile profile = SpiTable(
        {{kGeneric, sim::FlashDescriptor(3, kGeneric, 0, 16, 2048), sim::SpiCommandData(), "SFDP", "Generic"}}, 0);
    profile.flash.components[0].sfdp = sim::BuildSfdp(first, 0x20, 0x07FFFFFF);
    sim::Platform platform(profile);
    auto *block = static_cast<SPI_PARAMETER_BLOCK *>(simtest::Call(LoadProbe(platform)->CurrentContext)->Parameters);
    SCOPED_TRACE(first);
    EXPECT_EQ((block->Flags & SPI_FLAG_WRITE_GRANULARITY_64) != 0, (first & 0x4) != 0);
    EXPECT_EQ((block->Flags & SPI_FLAG_NO_VOLATILE_STATUS) != 0, (first & 0x8) == 0);
    EXPECT_EQ(block->Flags & 0x3u, 0u) << "bits 0 and 1 are cleared";
  }
}

// --- FlashLayerInit ---

struct ComponentCase {
  std::vector<uint8_t> densities;
  uint64_t componentField;
  uint64_t total;
  uint64_t linearOffset;
};
std::string NameOf(const ComponentCase &c) {
  std::string name = "Densities";
  for (uint8_t density : c.densities) name += "_" + std::to_string(density);
  return name;
}
SIMTEST_PRINTS_CASE(ComponentCase)

class FlashComponents : public ::testing::TestWithParam<ComponentCase> {};

TEST_P(FlashComponents, TheDescriptorGivesTheTotalSizeAndWhereTheBiosRegionStarts) {
  sim::PlatformProfile profile = FlashPlatform(Flash::SpiBoot);
  profile.flash.components.clear();
  for (uint8_t density : GetParam().densities) profile.flash.components.push_back({density, {0xEF, 0x40, 0x18}, {}});
  sim::Platform platform(profile);
  TAG_STORE_PROBE_LAYER layer{};
  simtest::Call(LoadProbe(platform)->LayerState, &layer);
  EXPECT_EQ(layer.SpiBar, 0xFE010000u);
  EXPECT_EQ(layer.ComponentField, GetParam().componentField);
  EXPECT_EQ(layer.Layout, static_cast<uint64_t>(FLASH_LAYOUT_KNOWN));
  EXPECT_EQ(layer.TotalSize, GetParam().total);
  EXPECT_EQ(layer.BiosLinearOffset, GetParam().linearOffset);
  EXPECT_EQ(layer.BiosBase, 0xFFA00000u);
  EXPECT_EQ(layer.BiosSize, 0x600000u);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, FlashComponents,
                         ::testing::Values(ComponentCase{{5}, 0, 0x1000000, 0xA00000},
                                           ComponentCase{{5, 4}, 1, 0x1800000, 0x1200000},
                                           ComponentCase{{4, 4}, 1, 0x1000000, 0xA00000},
                                           ComponentCase{{6}, 0, 0x2000000, 0x1A00000}),
                         simtest::CaseName<ComponentCase>);

TEST(FlashLayerInit, ADescriptorSmallerThanTheBiosRegionLeavesTheLayoutUnknown) {
  sim::PlatformProfile profile = FlashPlatform(Flash::SpiBoot);
  profile.flash.components = {{3, {0xEF, 0x40, 0x18}, {}}};  // 4 MiB: cannot hold the 6-MiB BIOS region
  sim::Platform platform(profile);
  TAG_STORE_PROBE_LAYER layer{};
  simtest::Call(LoadProbe(platform)->LayerState, &layer);
  EXPECT_EQ(layer.SpiBar, 0xFE010000u);
  EXPECT_EQ(layer.Layout, static_cast<uint64_t>(FLASH_LAYOUT_UNKNOWN));
  EXPECT_EQ(layer.TotalSize, 0u);
  EXPECT_EQ(layer.BiosLinearOffset, 0u);
}

TEST(FlashLayerInit, WithoutAnSpiControllerNoRegisterAccessLandsInTheFlash) {
  sim::Platform platform(FlashPlatform(Flash::Parallel));
  platform.Bus().SetLogging(true);
  TAG_STORE_PROBE_LAYER layer{};
  simtest::Call(LoadProbe(platform)->LayerState, &layer);
  EXPECT_EQ(layer.SpiBar, 0u);
  EXPECT_EQ(layer.Layout, static_cast<uint64_t>(FLASH_LAYOUT_UNKNOWN));
  EXPECT_EQ(layer.TotalSize, 0u);
  EXPECT_EQ(layer.BiosLinearOffset, 0u);
  for (const sim::BusAccess &access : platform.Bus().Log()) {
    EXPECT_FALSE(access.address >= 0xFFFFF000) << std::hex << access.address;
  }
}

struct BindingCase {
  const char *name;
  bool smm;
  bool chipsetSpi;
  bool expectBootSpi;
  bool expectSmmSpi;
  bool expectRegion;
};
SIMTEST_PRINTS_CASE(BindingCase)

class ProtocolBinding : public ::testing::TestWithParam<BindingCase> {};

TEST_P(ProtocolBinding, BootServicesOutsideSmmAndTheSmmInstancesInside) {
  const BindingCase &c = GetParam();
  sim::PlatformProfile profile = FlashPlatform(Flash::SpiSmmRegion);
  profile.flash.chipsetSpi = c.chipsetSpi;
  sim::Platform platform(profile);
  TAG_STORE_PROBE_LAYER layer{};
  simtest::Call(LoadProbe(platform, c.smm)->LayerState, &layer);
  void *bootSpi = nullptr;
  void *smmSpi = nullptr;
  void *region = nullptr;
  platform.Core().Protocols().Locate(gChipsetSpiProtocolGuid, nullptr, &bootSpi);
  platform.Core().SmmProtocols().Locate(gChipsetSmmSpiProtocolGuid, nullptr, &smmSpi);
  platform.Core().SmmProtocols().Locate(gRegionFlashProtocolGuid, nullptr, &region);
  uint64_t expectedSpi = c.expectBootSpi  ? reinterpret_cast<uint64_t>(bootSpi)
                         : c.expectSmmSpi ? reinterpret_cast<uint64_t>(smmSpi)
                                          : 0;
  EXPECT_EQ(layer.ChipsetSpi, expectedSpi);
  EXPECT_EQ(layer.RegionFlash, c.expectRegion ? reinterpret_cast<uint64_t>(region) : 0u);

  // Outside SMM the BIOS range becomes a runtime range; the rest of the window does not.
  EFI_GCD_MEMORY_SPACE_DESCRIPTOR bios{};
  EFI_GCD_MEMORY_SPACE_DESCRIPTOR below{};
  ASSERT_EQ(platform.Core().MemorySpace().Get(0xFFA00000, bios), EFI_SUCCESS);
  ASSERT_EQ(platform.Core().MemorySpace().Get(0xFF9FF000, below), EFI_SUCCESS);
  EXPECT_EQ(bios.Attributes, c.smm ? EFI_MEMORY_UC : EFI_MEMORY_UC | EFI_MEMORY_RUNTIME);
  EXPECT_EQ(below.Attributes, EFI_MEMORY_UC);
  if (!c.smm) {
    EXPECT_EQ(bios.BaseAddress, 0xFFA00000u);
    EXPECT_EQ(bios.Length, 0x600000u);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProtocolBinding,
                         ::testing::Values(BindingCase{"OutsideSmm", false, true, true, false, false},
                                           BindingCase{"OutsideSmmWithoutBootProtocol", false, false, false, false,
                                                       false},
                                           BindingCase{"InsideSmm", true, true, false, true, true}),
                         simtest::CaseName<BindingCase>);

TEST(FlashLayerInit, AWindowTheMemoryMapCannotMarkLeavesTheAttributesAlone) {
  sim::PlatformProfile profile = FlashPlatform(Flash::SpiBoot);
  profile.dxeServices = false;
  sim::Platform platform(profile);
  LoadProbe(platform);
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::MemorySpace), 0u);
  EXPECT_EQ(ChosenToken(platform), 0x11u) << "selection goes on";
}

}  // namespace

namespace {

TEST(FlashLayerSteps, InTheSmmDeliverableThePointerRegistrationsAndRemovalsHaveNoEffect) {
  sim::PlatformProfile profile = tagtest::FlashPlatform(tagtest::Flash::SpiBoot);
  profile.addressFixupAtBoot = true;
  sim::Platform platform(profile);
  simtest::PutVariable<uint64_t>(platform, u"ProbeEntryStatus", gProbeVariableGuid, EFI_UNSUPPORTED);
  auto &image = platform.Load("RuntimeProbeSmm", sim::LoadOptions{true, false});
  EXPECT_EQ(image.entryStatus, EFI_UNSUPPORTED);
  EXPECT_TRUE(simtest::ReadVariable<uint8_t>(platform, u"ProbeTearDown", gProbeVariableGuid).has_value());
  EXPECT_TRUE(platform.Core().AddressFixups().Calls().empty());
  EXPECT_EQ(platform.Pcds().Number(platform.Pcds().Find(sim::kChosenFlashToken)), 0x11u) << "selection still ran";
}

}  // namespace
