// The operating system as the attacker: after the hand-over it owns every byte outside
// SMRAM, the shared tag store table and its caches included, and writes them as it
// likes, before, between or (through a bus-master device) during the suspends. Whatever
// it writes, each S3 entry may change nothing but the log: SMRAM stays byte-identical
// but for the driver's own store, the flash identical but for the new slot's 8 bytes and
// its free-map bit, and the SMI raises no fault and crosses the SMM boundary nowhere.
#include <gtest/gtest.h>

#include <cstring>

#include "platform_sim/devices/bus_master.h"
#include "platform_sim/memory/arena.h"
#include "tests/power_event_log/log_fixture.h"
#include "tests/support/case_names.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/smm_attack.h"

namespace {

using namespace logtest;

constexpr unsigned kPlogIndex = 8;
constexpr unsigned kCnf1Index = 7;
constexpr uint64_t kTraceHubWindow = 0xFE200000;
// 0xFFD80000 + 0x27FFF0: the last 16 bytes below 4 GiB, far outside the block.
constexpr uint32_t kOffsetOutsideTheBlock = 0x27FFF0;

struct Attacker {
  sim::Platform &platform;
  TagStoreEntry *table;
  // SMRAM the driver keeps: its interface block (AppendEvent's pointer).
  void *Smram() const { return LogProtocol(platform); }
  // A buffer of the operating system's own, outside SMRAM.
  void *OsBuffer(size_t size, uint8_t fill) const {
    void *buffer = platform.Memory().AllocatePool(EfiLoaderData, size);
    std::memset(buffer, fill, size);
    return buffer;
  }
};

// A table image as the attacker plants it in a record's cache: the live table with one
// entry rewritten.
std::vector<uint8_t> ForgedTableImage(const Attacker &attacker, unsigned index, const TagStoreEntry &forged) {
  std::vector<uint8_t> image(sizeof(TagStoreEntry) * TAG_STORE_ENTRY_COUNT);
  std::memcpy(image.data(), attacker.table, image.size());
  std::memcpy(image.data() + sizeof(TagStoreEntry) * index, &forged, sizeof(forged));
  return image;
}

// First suspend: the forged table image goes into "CNF1"'s cache and, dirty, towards the
// flash. Second suspend: "CNF1"'s cache is the table itself and not loaded, so a flush
// that loads it copies the forged image over the table and then follows the forged entry.
// The forged "PLOG" entry: its cache, size, offset and flags as the attacker wants them.
struct ForgedEntry {
  void *cache;
  UINT64 size;
  UINT32 offset;
  UINT8 loaded;
  UINT8 dirty;
};
void PlantTable(Attacker &attacker, const ForgedEntry &entry) {
  TagStoreEntry forgedPlog = attacker.table[kPlogIndex];
  forgedPlog.Cache = entry.cache;
  forgedPlog.Size = entry.size;
  forgedPlog.Offset = entry.offset;
  forgedPlog.Loaded = entry.loaded;
  forgedPlog.Dirty = entry.dirty;
  TagStoreEntry &cnf1 = attacker.table[kCnf1Index];
  std::vector<uint8_t> image = ForgedTableImage(attacker, kPlogIndex, forgedPlog);
  std::memcpy(cnf1.Cache, image.data(), cnf1.Size);
  cnf1.Loaded = 1;
  cnf1.Dirty = 1;
}
void AimCnf1AtTheTable(Attacker &attacker) {
  TagStoreEntry &cnf1 = attacker.table[kCnf1Index];
  cnf1.Cache = attacker.table;
  cnf1.Loaded = 0;
  cnf1.Dirty = 1;
}

struct Attack {
  const char *name;
  void (*first)(Attacker &);                            // before the first suspend
  void (*second)(Attacker &);                           // before the second; null: one suspend
  std::vector<sim::DmaWrite> (*busMaster)(Attacker &);  // during the suspends; may be null
  bool noSmramRanges = false;                           // the platform tells the driver of no SMRAM
};
SIMTEST_PRINTS_CASE(Attack)

const Attack kAttacks[] = {
    {"ChosenBytesInEveryCache",
     [](Attacker &a) {
       for (TagStoreEntry *entry = a.table; entry->Tag != TAG_STORE_TERMINATOR; ++entry) {
         std::memset(entry->Cache, 0x41, entry->Size);
         entry->Loaded = 1;
         entry->Dirty = 1;
       }
     },
     nullptr, nullptr},
    {"PlantedTableThenCacheAimedAtTheTableWritesIntoSmram",
     [](Attacker &a) {
       PlantTable(a, {a.Smram(), 512, 0x1300, 0, 0});
     },
     AimCnf1AtTheTable, nullptr},
    {"PlantedTableThenCacheAimedAtTheTableCopiesSmramToFlash",
     [](Attacker &a) {
       PlantTable(a, {a.Smram(), 256, 0x1300, 1, 1});
     },
     AimCnf1AtTheTable, nullptr},
    {"PlantedTableThenCacheAimedAtTheTableProgramsOutsideTheBlock",
     [](Attacker &a) {
       PlantTable(a, {a.OsBuffer(8, 0x00), 8, kOffsetOutsideTheBlock, 1, 1});
     },
     AimCnf1AtTheTable, nullptr},
    {"CacheIntoSmram",
     [](Attacker &a) {
       a.table[kPlogIndex].Cache = a.Smram();
       a.table[kPlogIndex].Loaded = 0;
       a.table[kPlogIndex].Dirty = 1;
     },
     nullptr, nullptr},
    {"LoadedAndDirtyFlipped",
     [](Attacker &a) {
       for (TagStoreEntry *entry = a.table; entry->Tag != TAG_STORE_TERMINATOR; ++entry) {
         entry->Loaded = static_cast<UINT8>(entry->Loaded ^ 1);
         entry->Dirty = 1;
       }
     },
     [](Attacker &a) {
       for (TagStoreEntry *entry = a.table; entry->Tag != TAG_STORE_TERMINATOR; ++entry) entry->Loaded = 0;
     },
     nullptr},
    {"SizeAndOffsetForged",
     [](Attacker &a) {
       a.table[kPlogIndex].Size = 0x4000;
       a.table[kPlogIndex].Offset = 0x3000;
       a.table[1].Offset = kOffsetOutsideTheBlock;
       a.table[1].Dirty = 1;
     },
     nullptr, nullptr},
    {"CacheInTheFlashWindow",
     [](Attacker &a) {
       a.table[kPlogIndex].Cache = reinterpret_cast<void *>(sim::kTagStoreBase);
       a.table[kPlogIndex].Loaded = 0;
     },
     nullptr, nullptr},
    {"CacheInDeviceRegisters",
     [](Attacker &a) {
       a.table[kPlogIndex].Cache = reinterpret_cast<void *>(kTraceHubWindow);
       a.table[kPlogIndex].Loaded = 0;
     },
     nullptr, nullptr},
    {"TableChangedDuringTheFlushByABusMaster", nullptr, nullptr,
     [](Attacker &a) {
       // Every flash command, the device aims "PLOG"'s cache into SMRAM and dirties it.
       TagStoreEntry forged = a.table[kPlogIndex];
       forged.Cache = a.Smram();
       forged.Loaded = 0;
       forged.Dirty = 1;
       std::vector<uint8_t> bytes(sizeof(forged));
       std::memcpy(bytes.data(), &forged, sizeof(forged));
       return std::vector<sim::DmaWrite>{{reinterpret_cast<uint64_t>(&a.table[kPlogIndex]), bytes}};
     }},
    {"NoSmramRanges", nullptr, nullptr, nullptr, true},
};

unsigned UsedSlots(sim::Platform &platform) { return PowerEventLogNextSlot(ReadLog(platform).FreeMap); }

class SmmAttack : public ::testing::TestWithParam<Attack> {};

TEST_P(SmmAttack, ChangesNothingButTheLog) {
  const Attack &attack = GetParam();
  sim::PlatformProfile profile = SmmProfile();
  profile.smmAccess = !attack.noSmramRanges;
  sim::Platform platform(profile);
  LoadDriver(platform);
  platform.Core().HandOverToOperatingSystem();
  auto *table = simtest::Locate<TagStoreEntry>(platform, gTagStoreTableProtocolGuid);
  ASSERT_NE(table, nullptr);
  Attacker attacker{platform, table};
  sim::BusMaster busMaster(platform.Memory());
  if (attack.busMaster != nullptr) {
    busMaster.Program(attack.busMaster(attacker));
    platform.Flash().Monitor().OnCommand([&](uint64_t, uint64_t) { busMaster.Turn(); });
  }

  const std::vector<uint8_t> smram = simtest::SmramImage(platform);
  const std::vector<uint8_t> flash = simtest::FlashImage(platform);
  const unsigned slots = UsedSlots(platform);
  unsigned suspends = 0;
  for (void (*write)(Attacker &) : {attack.first, attack.second}) {
    if (write == nullptr && suspends > 0) break;
    if (write != nullptr) write(attacker);
    platform.EnterSleepState(3);
    ++suspends;
  }
  if (attack.busMaster != nullptr) EXPECT_GT(busMaster.Turns(), 0u) << "the bus master never had its turn";

  const unsigned appended = attack.noSmramRanges ? 0 : suspends;
  EXPECT_EQ(UsedSlots(platform), slots + appended);
  for (unsigned slot = slots; slot < slots + appended; ++slot) {
    EXPECT_EQ(ReadLog(platform).Slot[slot].Event, POWER_EVENT_S3_ENTRY) << "slot " << slot;
  }
  auto notes = platform.Trace().OfKind(sim::EffectKind::Note);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.back().what,
            attack.noSmramRanges ? "S3 entry handler -> EFI_ACCESS_DENIED" : "S3 entry handler -> EFI_SUCCESS");
  EXPECT_EQ(simtest::SmramChanges(smram, simtest::SmramImage(platform), platform.Memory().SmramBase()), "");
  EXPECT_EQ(simtest::FlashChangesBeyondTheLog(platform, flash, simtest::FlashImage(platform), slots, appended), "");
  EXPECT_EQ(simtest::FaultsAndFindings(platform), "");
  EXPECT_TRUE(platform.Core().Smm().Faults().empty());
}

INSTANTIATE_TEST_SUITE_P(OperatingSystemWrites, SmmAttack, ::testing::ValuesIn(kAttacks),
                         [](const auto &info) { return std::string(info.param.name); });

// The shared table itself stays what the boot-time images rely on: published, with the
// records PlatformConfigDxe reads before the operating system runs.
TEST(SmmAttack, TheSharedTableIsStillPublishedAndReadable) {
  sim::Platform platform(SmmProfile());
  LoadDriver(platform);
  auto *table = simtest::Locate<TagStoreEntry>(platform, gTagStoreTableProtocolGuid);
  ASSERT_NE(table, nullptr);
  EXPECT_FALSE(platform.Memory().InSmram(reinterpret_cast<uint64_t>(table)));
  const UINT32 tag = table[1].Tag;
  const void *cache = table[1].Cache;
  EXPECT_EQ(tag, TAG_STORE_TAG('M', 'F', 'G', '0'));
  EXPECT_NE(cache, nullptr);
}

}  // namespace
