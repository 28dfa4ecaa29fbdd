// The tag store table lies in memory the operating system can write. A forged table
// (a cache pointer into SMRAM, a record moved outside the tag store span, a record
// enlarged, a record without a cache) is refused: no byte of SMRAM and no flash byte
// changes, and the handler reports EFI_ACCESS_DENIED to the dispatcher.
#include <gtest/gtest.h>

#include "platform_sim/memory/arena.h"
#include "tests/power_event_log/log_fixture.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/case_names.h"

namespace {

using namespace logtest;

constexpr uint32_t kPlog = POWER_EVENT_LOG_TAG;

struct HostileCase {
  const char *name;
  void (*forge)(sim::Platform &platform, TagStoreEntry *table);
};
SIMTEST_PRINTS_CASE(HostileCase)

TagStoreEntry *Find(TagStoreEntry *table, uint32_t tag) {
  for (TagStoreEntry *entry = table; entry->Tag != TAG_STORE_TERMINATOR; ++entry) {
    if (entry->Tag == tag) return entry;
  }
  return nullptr;
}

std::vector<std::vector<uint8_t>> SmramContents(sim::Platform &platform) {
  std::vector<std::vector<uint8_t>> contents;
  for (const sim::Allocation &block : platform.Memory().DriverAllocations()) {
    if (block.region != sim::Region::Smram) continue;
    const auto *bytes = reinterpret_cast<const uint8_t *>(block.address);
    contents.emplace_back(bytes, bytes + block.size);
  }
  return contents;
}

class HostileTable : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTable, IsRefusedWithoutTouchingSmramOrFlash) {
  sim::Platform platform(SmmProfile());
  LoadDriver(platform);
  platform.Core().HandOverToOperatingSystem();
  auto *table = simtest::Locate<TagStoreEntry>(platform, gTagStoreTableProtocolGuid);
  ASSERT_NE(table, nullptr);
  // The caches hold what the flash holds; the table says so.
  ASSERT_EQ(Find(table, kPlog)->Loaded, 1);

  GetParam().forge(platform, table);
  auto smram = SmramContents(platform);
  auto span = Span(platform);
  uint64_t commands = FlashCommands(platform);

  EXPECT_EQ(Append(platform, 0x11), EFI_ACCESS_DENIED);
  platform.EnterSleepState(5);
  auto notes = platform.Trace().OfKind(sim::EffectKind::Note);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.back().what, "S5 entry handler -> EFI_ACCESS_DENIED");

  EXPECT_EQ(SmramContents(platform), smram);
  // Every change to the flash takes an erase or program command: none reached a part.
  EXPECT_EQ(FlashCommands(platform), commands);
  EXPECT_EQ(Span(platform), span);
}

INSTANTIATE_TEST_SUITE_P(
    Forgeries, HostileTable,
    ::testing::Values(
        HostileCase{"CachePointerIntoSmram",
                    [](sim::Platform &platform, TagStoreEntry *table) {
                      // The driver's own interface block, and the SMRAM behind it.
                      Find(table, kPlog)->Cache = LogProtocol(platform);
                    }},
        HostileCase{"CacheStraddlingTheSmramBase",
                    [](sim::Platform &platform, TagStoreEntry *table) {
                      Find(table, kPlog)->Cache = reinterpret_cast<void *>(platform.Memory().SmramBase() - 256);
                    }},
        HostileCase{"RecordMovedOutsideTheSpan",
                    [](sim::Platform &, TagStoreEntry *table) { Find(table, kPlog)->Offset = 0x3000; }},
        HostileCase{"RecordEnlarged", [](sim::Platform &, TagStoreEntry *table) { Find(table, kPlog)->Size = 0x4000; }},
        HostileCase{"TerminatorMoved", [](sim::Platform &, TagStoreEntry *table) { table[9].Offset = 0x2000; }},
        HostileCase{"RecordWithoutCache",
                    [](sim::Platform &, TagStoreEntry *table) {
                      table[0].Cache = nullptr;
                      table[8].Dirty = 1;
                    }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HostileTable, AnUntouchedTableIsAccepted) {
  sim::Platform platform(SmmProfile());
  LoadDriver(platform);
  platform.Core().HandOverToOperatingSystem();
  EXPECT_EQ(Append(platform, 0x11), EFI_SUCCESS);
  EXPECT_EQ(ReadLog(platform).Slot[1].Event, 0x11);
}

}  // namespace
