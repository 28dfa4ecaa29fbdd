// The tag store table: creation from the template, sharing between images, reads
// through the cache, writes with mirrored pairs, and what a failed creation leaves.
#include <gtest/gtest.h>

#include <set>

#include "runtime/uefi/guids.h"
#include "tests/tagstore/tag_store_fixture.h"
#include "tests/support/case_names.h"

namespace {

using namespace tagtest;

struct TemplateRow {
  const char *tag;
  uint64_t size;
  uint32_t offset;
};
constexpr TemplateRow kTemplate[] = {{"CNFG", 256, 0x0000},  {"MFG0", 256, 0x0100}, {"SLP2", 512, 0x0200},
                                     {"OEM2", 512, 0x0400},  {"SLP3", 512, 0x0600}, {"OEM5", 512, 0x0800},
                                     {"_DMI", 2048, 0x0A00}, {"CNF1", 256, 0x1200}, {"PLOG", 512, 0x1300}};

uint32_t Tag(const char *text) { return TAG_STORE_TAG(text[0], text[1], text[2], text[3]); }

TEST(TagStoreTable, InitCreatesTheTemplateWithRuntimeCachesAndPublishesIt) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  TagStoreEntry *table = simtest::Call(probe->Table);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(simtest::Locate<TagStoreEntry>(platform, gTagStoreTableProtocolGuid), table);
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::ProtocolInstall, "TagStoreProbe"), 2u)
      << "the table and the probe";
  const sim::Allocation *block = platform.Memory().Find(reinterpret_cast<uint64_t>(table));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->type, EfiRuntimeServicesData);
  EXPECT_EQ(block->size, 260u);

  // "PLOG" sits in memory as G, O, L, P.
  EXPECT_EQ(std::memcmp(&table[8].Tag, "GOLP", 4), 0);
  std::set<void *> caches;
  for (size_t index = 0; index < std::size(kTemplate); ++index) {
    const TagStoreEntry &entry = table[index];
    SCOPED_TRACE(kTemplate[index].tag);
    EXPECT_EQ(uint32_t{entry.Tag}, Tag(kTemplate[index].tag));
    EXPECT_EQ(uint64_t{entry.Size}, kTemplate[index].size);
    EXPECT_EQ(uint32_t{entry.Offset}, kTemplate[index].offset);
    EXPECT_EQ(entry.Loaded, 0);
    EXPECT_EQ(entry.Dirty, 0);
    const sim::Allocation *cache = platform.Memory().Find(reinterpret_cast<uint64_t>(entry.Cache));
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(cache->type, EfiRuntimeServicesData);
    EXPECT_EQ(cache->size, uint64_t{entry.Size});
    caches.insert(static_cast<void *>(entry.Cache));
  }
  EXPECT_EQ(caches.size(), 9u);
  EXPECT_EQ(uint32_t{table[9].Tag}, TAG_STORE_TERMINATOR);
  EXPECT_EQ(uint64_t{table[9].Size}, 0xFFFFFFFFu);
  EXPECT_EQ(uint32_t{table[9].Offset}, TAG_STORE_RECORD_SPAN);
  EXPECT_EQ(static_cast<void *>(table[9].Cache), nullptr);
}

TEST(TagStoreTable, LaterImagesShareTheFirstImagesTableAndCaches) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  platform.Load("PlatformConfigDxe");
  auto *published = simtest::Locate<TagStoreEntry>(platform, gTagStoreTableProtocolGuid);
  ASSERT_NE(published, nullptr);
  TAG_STORE_PROBE *first = LoadProbe(platform);
  TAG_STORE_PROBE *second = LoadProbe(platform);
  EXPECT_EQ(simtest::Call(first->Table), published);
  EXPECT_EQ(simtest::Call(second->Table), published);
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::ProtocolInstall, "TagStoreProbe"), 2u)
      << "each probe installs only itself";
  EXPECT_EQ(simtest::Call(first->Init, nullptr, platform.SystemTable()), EFI_SUCCESS);
  EXPECT_EQ(simtest::Call(first->Table), published);

  std::vector<uint8_t> record = Pattern(256, 0x31);
  uint64_t size = 0;
  ASSERT_TRUE(simtest::Call(first->Write, kMfg0, &size, record.data()));
  std::vector<uint8_t> seen(256);
  ASSERT_TRUE(simtest::Call(second->Read, kMfg0, &size, seen.data()));
  EXPECT_EQ(seen, record) << "the second image reads the first image's cache";
  EXPECT_NE(FlashBytes(platform, kBase + 0x100, 256), record) << "nothing was flushed";
}

TEST(TagStoreRead, TheFirstReadFillsTheCacheFromFlashAndLaterReadsReturnTheCache) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  std::vector<uint8_t> stored = Pattern(512, 0x40);
  platform.Flash().Load(kBase + 0x1300, stored);
  TAG_STORE_PROBE *probe = LoadProbe(platform);

  platform.Bus().SetLogging(true);
  uint64_t size = 0;
  std::vector<uint8_t> buffer(512);
  ASSERT_TRUE(simtest::Call(probe->Read, kPlog, &size, buffer.data()));
  EXPECT_EQ(size, 512u);
  EXPECT_EQ(buffer, stored);
  EXPECT_EQ(Entry(probe, kPlog)->Loaded, 1);
  EXPECT_EQ(Entry(probe, kPlog)->Dirty, 0);
  size_t reads = 0;
  for (const sim::BusAccess &access : platform.Bus().Log()) {
    if (access.kind == sim::BusAccess::Kind::MmioRead && access.address >= kBase + 0x1300 &&
        access.address < kBase + 0x1500) {
      ++reads;
    }
  }
  EXPECT_EQ(reads, 512u);

  platform.Bus().ClearLog();
  platform.Flash().Load(kBase + 0x1300, Pattern(512, 0x99));
  std::fill(buffer.begin(), buffer.end(), 0);
  ASSERT_TRUE(simtest::Call(probe->Read, kPlog, &size, buffer.data()));
  EXPECT_EQ(buffer, stored) << "a loaded record is never read from flash again";
  EXPECT_TRUE(platform.Bus().Log().empty());
}

struct WriteCase {
  const char *tag;
  const char *partner;  // "" when the record has none
};
// "_DMI" is named "DMI": a test name cannot start with an underscore.
std::string NameOf(const WriteCase &c) { return std::string(c.tag).substr(c.tag[0] == '_'); }
SIMTEST_PRINTS_CASE(WriteCase)

class TagStoreWriteCases : public ::testing::TestWithParam<WriteCase> {};

TEST_P(TagStoreWriteCases, AWriteChangesTheCacheOfTheRecordAndOfItsMirrorOnly) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  uint32_t tag = Tag(GetParam().tag);
  uint32_t partner = *GetParam().partner ? Tag(GetParam().partner) : 0;
  std::vector<uint8_t> data = Pattern(2048, 0x5A);
  uint64_t size = 0;
  ASSERT_TRUE(simtest::Call(probe->Write, tag, &size, data.data()));

  for (TagStoreEntry *entry = simtest::Call(probe->Table); entry->Tag != TAG_STORE_TERMINATOR; ++entry) {
    bool written = entry->Tag == tag || entry->Tag == partner;
    SCOPED_TRACE(std::string(reinterpret_cast<const char *>(&entry->Tag), 4));
    EXPECT_EQ(entry->Dirty, written ? 1 : 0);
    EXPECT_EQ(entry->Loaded, written ? 1 : 0);
    if (written) {
      EXPECT_EQ(std::memcmp(entry->Cache, data.data(), entry->Size), 0);
    }
  }
  // The size pointer ends with the last record written: the partner when there is one.
  EXPECT_EQ(size, uint64_t{Entry(probe, partner ? partner : tag)->Size});
  EXPECT_TRUE(FlashEffects(platform).empty()) << "nothing reaches the flash before a flush";
}

INSTANTIATE_TEST_SUITE_P(Records, TagStoreWriteCases,
                         ::testing::Values(WriteCase{"SLP3", "OEM5"}, WriteCase{"OEM5", "SLP3"},
                                           WriteCase{"SLP2", "OEM2"}, WriteCase{"OEM2", "SLP2"}, WriteCase{"CNFG", ""},
                                           WriteCase{"PLOG", ""}, WriteCase{"_DMI", ""}),
                         simtest::CaseName<WriteCase>);

TEST(TagStoreRecords, UnknownTagsAreRefusedWithoutTouchingSizeOrBuffer) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  for (uint32_t tag : {Tag("XXXX"), Tag("plog"), TAG_STORE_TERMINATOR}) {
    uint64_t size = 0x1234;
    std::vector<uint8_t> buffer(16, 0xEE);
    EXPECT_FALSE(simtest::Call(probe->Read, tag, &size, buffer.data()));
    EXPECT_FALSE(simtest::Call(probe->Write, tag, &size, buffer.data()));
    EXPECT_EQ(size, 0x1234u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0xEE));
  }
  EXPECT_TRUE(simtest::Call(probe->Flush)) << "nothing dirty: nothing to do";
  EXPECT_TRUE(FlashEffects(platform).empty());
}

// Re-runs creation with the n-th allocation failing: the first is the table itself,
// then one cache per record.
class TagStoreCreationFailure : public ::testing::TestWithParam<uint64_t> {};

TEST_P(TagStoreCreationFailure, ReleasesEverythingAndLeavesNoTable) {
  sim::Platform platform(FlashPlatform(Flash::SpiBoot));
  TAG_STORE_PROBE *probe = LoadProbe(platform);
  // Take the published table away, as if this image had been the first.
  TagStoreEntry *published = simtest::Call(probe->Table);
  EFI_HANDLE holder = nullptr;
  for (const sim::HandleRecord &record : platform.Core().Protocols().Handles()) {
    for (const sim::ProtocolEntry &entry : record.protocols) {
      if (entry.interface == published) holder = record.handle;
    }
  }
  ASSERT_EQ(platform.Core().Protocols().Uninstall(holder, gTagStoreTableProtocolGuid, published), EFI_SUCCESS);
  size_t allocated = platform.Memory().DriverAllocations().size();
  platform.Memory().Faults().failNth = platform.Memory().DriverAllocationCount() + GetParam();

  EXPECT_EQ(simtest::Call(probe->Init, nullptr, platform.SystemTable()), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(simtest::Call(probe->Table), nullptr);
  EXPECT_EQ(platform.Memory().DriverAllocations().size(), allocated) << "what creation allocated went back";
  EXPECT_EQ(simtest::Locate<TagStoreEntry>(platform, gTagStoreTableProtocolGuid), nullptr);
  uint64_t size = 0;
  std::vector<uint8_t> buffer(512);
  EXPECT_FALSE(simtest::Call(probe->Read, kPlog, &size, buffer.data()));
  EXPECT_FALSE(simtest::Call(probe->Write, kPlog, &size, buffer.data()));
  EXPECT_FALSE(simtest::Call(probe->Flush));
}

INSTANTIATE_TEST_SUITE_P(Allocations, TagStoreCreationFailure, ::testing::Values(1u, 2u, 6u, 10u),
                         [](const auto &info) { return "FailAllocation" + std::to_string(info.param); });

}  // namespace
