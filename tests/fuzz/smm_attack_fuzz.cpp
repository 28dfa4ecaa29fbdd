// The operating system against PowerEventLogSmm: each input is a program of ring-0
// memory writes (to the shared tag store table, a record's cache, anywhere in the memory
// the platform hands out outside SMRAM, or through a bus-master device during the next
// flush) interleaved with sleep-state entries. After every entry: the log grew by the
// slot the handler reported, the flash changed only in that slot and its free-map bit,
// SMRAM only in the driver's own store, and no SMI raised a fault or crossed the SMM
// boundary. Any break aborts with what broke.
//
// One platform, booted and handed over once: every input starts from that state, which
// the harness restores afterwards (the memory it wrote, the tag store block, the
// driver's SMRAM store, the effect record). SIM_ENGINE=emulated runs the shipped image
// over the same inputs; otherwise the host image, built with coverage instrumentation.
// S4 and S5 are not among the entries: after them the platform is off until a reboot.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform_sim/devices/bus_master.h"
#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/platform.h"
#include "power_event_log/power_event_log.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tagstore/tag_store_internal.h"
#include "tests/support/smm_attack.h"

namespace {

constexpr uint64_t kLogAddress = sim::kTagStoreBase + 0x1300;
constexpr uint64_t kBlockSize = 0x2000;
constexpr size_t kMaxWrite = 64;
constexpr size_t kMaxOperations = 16;
// The whole of SMRAM is compared this often (and SMRAM's live blocks after every entry).
constexpr uint64_t kFullSmramCheckEvery = 4096;

[[noreturn]] void Broken(const std::string &what) {
  std::fprintf(stderr, "SMM invariant broken: %s\n", what.c_str());
  std::abort();
}

// The operating system writes free pool as readily as any other memory.
using simtest::CopyRaw;

class AttackPlatform {
 public:
  AttackPlatform() {
    sim::PlatformProfile profile;
    profile.name = "smm attack";
    sim::UseSpiFlash(profile);
    profile.smmBase = true;
    profile.flash.regionFlashSmm = true;
    std::vector<uint8_t> log(512, 0xFF);
    std::memcpy(log.data(), "KOVAPLOG", 8);
    profile.flash.contents.push_back({kLogAddress, log});
    platform_ = std::make_unique<sim::Platform>(profile);
    const bool emulated = platform_->Emulated();
    auto &image =
        platform_->Load(emulated ? "PowerEventLogSmm" : "PowerEventLogSmmFuzz", sim::LoadOptions{false, true});
    void *table = nullptr;
    platform_->Core().Protocols().Locate(gTagStoreTableProtocolGuid, nullptr, &table);
    if (image.entryStatus != EFI_SUCCESS || table == nullptr) Broken("the driver did not start");
    table_ = static_cast<TagStoreEntry *>(table);
    platform_->Core().HandOverToOperatingSystem();
    busMaster_ = std::make_unique<sim::BusMaster>(platform_->Memory());
    platform_->Flash().Monitor().OnCommand([this](uint64_t address, uint64_t length) {
      if (address < sim::kTagStoreBase || length > kBlockSize || address - sim::kTagStoreBase > kBlockSize - length) {
        char text[96];
        std::snprintf(text, sizeof(text), "a flash command at 0x%llX, %llu bytes, outside the tag store block",
                      static_cast<unsigned long long>(address), static_cast<unsigned long long>(length));
        Broken(text);
      }
      busMaster_->Turn();
    });
    for (const sim::Allocation &block : platform_->Memory().DriverAllocations()) {
      if (block.region == sim::Region::Smram && block.size == sizeof(TAG_STORE_SMRAM_COPY)) store_ = block;
    }
    if (store_.address == 0) Broken("the driver's SMRAM store is not there");
    block_ = platform_->Flash().Peek(sim::kTagStoreBase, kBlockSize);
    storeImage_ = Bytes(store_.address, store_.size);
    smram_ = SmramBlocks();
    fullSmram_ = simtest::SmramImage(*platform_);
  }

  TagStoreEntry *Table() { return table_; }

  // A write of the operating system, undone after the input.
  void Write(uint64_t address, const uint8_t *bytes, size_t length) {
    if (!Writable(address, length)) return;
    Remember(address, length);
    CopyRaw(reinterpret_cast<uint8_t *>(address), bytes, length);
  }
  void ProgramBusMaster(uint64_t address, const uint8_t *bytes, size_t length) {
    if (!Writable(address, length)) return;
    Remember(address, length);
    busMaster_->Program({{address, std::vector<uint8_t>(bytes, bytes + length)}});
  }

  // An Sx entry and every invariant after it.
  void Enter(int state) {
    const uint64_t before = NextSlot();
    const size_t notes = platform_->Trace().OfKind(sim::EffectKind::Note).size();
    platform_->EnterSleepState(state);
    busMaster_->Program({});
    const std::string problems = simtest::FaultsAndFindings(*platform_);
    if (!problems.empty()) Broken(problems);
    auto all = platform_->Trace().OfKind(sim::EffectKind::Note);
    bool appended = false;
    if (state == 3) {
      if (all.size() <= notes) Broken("the S3 handler did not run");
      appended = all.back().what == "S3 entry handler -> EFI_SUCCESS";
      if (!appended && all.back().what != "S3 entry handler -> EFI_UNSUPPORTED") Broken(all.back().what);
    }
    const uint64_t after = NextSlot();
    if (after != before + (appended ? 1 : 0)) Broken("the log took " + std::to_string(after - before) + " slots");
    CheckBlock(before, appended);
    CheckSmram();
  }

  // Back to the state every input starts from.
  void Restore() {
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
      CopyRaw(reinterpret_cast<uint8_t *>(it->first), it->second.data(), it->second.size());
    }
    undo_.clear();
    expected_.clear();
    busMaster_->Program({});
    platform_->Flash().Load(sim::kTagStoreBase, block_);
    std::memcpy(reinterpret_cast<void *>(store_.address), storeImage_.data(), storeImage_.size());
    platform_->Trace().Clear();
    platform_->Core().CallLog().clear();
    if (++inputs_ % kFullSmramCheckEvery == 0 && simtest::SmramImage(*platform_) != fullSmram_) {
      Broken("SMRAM outside its blocks changed");
    }
  }

 private:
  bool Writable(uint64_t address, size_t length) const {
    sim::Arena &arena = platform_->Memory();
    return length != 0 && arena.InArena(address, length) && address + length <= arena.SmramBase();
  }
  void Remember(uint64_t address, size_t length) { undo_.push_back({address, Bytes(address, length)}); }
  static std::vector<uint8_t> Bytes(uint64_t address, uint64_t length) {
    std::vector<uint8_t> bytes(length);
    CopyRaw(bytes.data(), reinterpret_cast<const uint8_t *>(address), length);
    return bytes;
  }
  uint64_t NextSlot() const {
    uint64_t freeMap = 0;
    std::vector<uint8_t> bytes = platform_->Flash().Peek(kLogAddress + 8, 8);
    std::memcpy(&freeMap, bytes.data(), 8);
    return PowerEventLogNextSlot(freeMap);
  }
  // The block may differ from the one the input started with only in the slots appended
  // since (bytes 0 to 6) and their free-map bits.
  void CheckBlock(uint64_t slot, bool appended) {
    std::vector<uint8_t> now = platform_->Flash().Peek(sim::kTagStoreBase, kBlockSize);
    std::vector<uint8_t> allowed = expected_.empty() ? block_ : expected_;
    if (appended) {
      const uint64_t at = 0x1300 + 16 + 8 * slot;
      std::memcpy(allowed.data() + at, now.data() + at, 7);
      if (now[at + 6] != POWER_EVENT_S3_ENTRY) Broken("the slot holds another event");
      uint64_t freeMap = 0;
      std::memcpy(&freeMap, allowed.data() + 0x1308, 8);
      freeMap &= ~(1ull << slot);
      std::memcpy(allowed.data() + 0x1308, &freeMap, 8);
    }
    if (now != allowed) Broken("the tag store block changed beyond the log");
    expected_ = now;
  }
  // SMRAM's live blocks, the driver's store and the emulated SMI stack masked.
  std::vector<uint8_t> SmramBlocks() const {
    std::vector<uint8_t> image;
    for (const auto &[address, block] : LiveSmram()) {
      if (address == store_.address) continue;
      if (platform_->Emulated() && address == platform_->Emulation().SmmStackBase()) continue;
      std::vector<uint8_t> bytes = Bytes(address, block);
      image.insert(image.end(), bytes.begin(), bytes.end());
    }
    return image;
  }
  std::map<uint64_t, uint64_t> LiveSmram() const {
    std::map<uint64_t, uint64_t> blocks;
    for (const sim::Allocation &block : platform_->Memory().Blocks(sim::Region::Smram)) {
      blocks[block.address] = block.size;
    }
    return blocks;
  }
  void CheckSmram() {
    if (SmramBlocks() != smram_) Broken("SMRAM changed outside the driver's store");
  }
  std::unique_ptr<sim::Platform> platform_;
  TagStoreEntry *table_ = nullptr;
  std::unique_ptr<sim::BusMaster> busMaster_;
  sim::Allocation store_;
  std::vector<uint8_t> block_;
  std::vector<uint8_t> expected_;
  std::vector<uint8_t> storeImage_;
  std::vector<uint8_t> smram_;
  std::vector<uint8_t> fullSmram_;
  std::vector<std::pair<uint64_t, std::vector<uint8_t>>> undo_;
  uint64_t inputs_ = 0;
};

AttackPlatform &Attack() {
  static AttackPlatform platform;
  return platform;
}

// Where a write goes: the table, one record's cache, or anywhere outside SMRAM.
uint64_t Target(AttackPlatform &attack, FuzzedDataProvider &input) {
  TagStoreEntry *table = attack.Table();
  const uint8_t choice = input.ConsumeIntegralInRange<uint8_t>(0, TAG_STORE_ENTRY_COUNT + 1);
  if (choice == 0) return reinterpret_cast<uint64_t>(table) + input.ConsumeIntegralInRange<uint64_t>(0, 259);
  if (choice <= TAG_STORE_ENTRY_COUNT - 1) {
    // The cache the shared table named at boot (the attacker may have moved it since).
    static std::vector<uint64_t> caches;
    if (caches.empty()) {
      for (unsigned index = 0; index + 1 < TAG_STORE_ENTRY_COUNT; ++index) {
        caches.push_back(reinterpret_cast<uint64_t>(table[index].Cache));
      }
    }
    return caches[choice - 1] + input.ConsumeIntegralInRange<uint64_t>(0, 511);
  }
  return sim::Arena::kBase + input.ConsumeIntegralInRange<uint64_t>(0, sim::Arena::kSize - sim::Arena::kSmramSize - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  AttackPlatform &attack = Attack();
  FuzzedDataProvider input(data, size);
  bool entered = false;
  for (size_t operation = 0; operation < kMaxOperations && input.remaining_bytes() > 0; ++operation) {
    const uint8_t kind = input.ConsumeIntegralInRange<uint8_t>(0, 3);
    if (kind <= 1) {
      const uint64_t address = Target(attack, input);
      std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(1, kMaxWrite));
      if (bytes.empty()) break;
      if (kind == 0) {
        attack.Write(address, bytes.data(), bytes.size());
      } else {
        attack.ProgramBusMaster(address, bytes.data(), bytes.size());
      }
    } else if (kind == 2) {
      attack.Enter(3);
      entered = true;
    } else {
      attack.Enter(input.ConsumeBool() ? 1 : 2);
    }
  }
  if (!entered) attack.Enter(3);
  attack.Restore();
  return 0;
}
