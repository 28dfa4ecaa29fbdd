#include "tests/support/smm_attack.h"

#include <cstring>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/trace/hex_text.h"
#include "power_event_log/power_event_log.h"
#include "tagstore/tag_store_internal.h"

namespace simtest {

namespace {
constexpr uint64_t kLogOffset = 0x1300;

void Mask(std::vector<uint8_t> &image, uint64_t base, uint64_t start, uint64_t size) {
  if (start < base || start - base >= image.size()) return;
  const uint64_t from = start - base;
  const uint64_t length = std::min<uint64_t>(size, image.size() - from);
  std::memset(image.data() + from, 0, length);
}
}  // namespace

__attribute__((no_sanitize("address"))) void CopyRaw(uint8_t *to, const uint8_t *from, uint64_t size) {
  for (uint64_t index = 0; index < size; ++index) to[index] = from[index];
}

std::vector<uint8_t> SmramImage(sim::Platform &platform) {
  sim::Arena &arena = platform.Memory();
  const uint64_t base = arena.SmramBase();
  std::vector<uint8_t> image(sim::Arena::kSmramSize);
  CopyRaw(image.data(), reinterpret_cast<const uint8_t *>(base), image.size());
  for (const sim::Allocation &block : arena.DriverAllocations()) {
    if (block.region == sim::Region::Smram && block.size == sizeof(TAG_STORE_SMRAM_COPY)) {
      Mask(image, base, block.address, block.size);
    }
  }
  if (platform.Emulated()) {
    Mask(image, base, platform.Emulation().SmmStackBase(), sim::Emulator::SmmStackSize());
  }
  return image;
}

std::vector<uint8_t> FlashImage(sim::Platform &platform) {
  sim::FlashHardware &flash = platform.Flash();
  if (flash.Spi() != nullptr) return flash.Spi()->PeekRange(0, flash.Spi()->Size());
  return flash.Peek(flash.WindowBase(), flash.WindowSize());
}

// The linear offset of a memory address of the flash in FlashImage().
static uint64_t FlashImageOffset(sim::Platform &platform, uint64_t address) {
  sim::FlashHardware &flash = platform.Flash();
  const uint64_t size = flash.Spi() != nullptr ? flash.Spi()->Size() : flash.WindowSize();
  return address - (0x100000000ull - size);
}

std::string FlashChangesBeyondTheLog(sim::Platform &platform, const std::vector<uint8_t> &before,
                                     const std::vector<uint8_t> &after, unsigned firstSlot, unsigned count) {
  if (before.size() != after.size()) return "the flash changed size";
  std::vector<uint8_t> allowed = before;
  const uint64_t log = FlashImageOffset(platform, sim::kTagStoreBase + kLogOffset);
  uint64_t freeMap = 0;
  std::memcpy(&freeMap, allowed.data() + log + 8, sizeof(freeMap));
  for (unsigned slot = firstSlot; slot < firstSlot + count && slot < POWER_EVENT_LOG_SLOTS; ++slot) {
    const uint64_t at = log + 16 + 8 * slot;
    std::memcpy(allowed.data() + at, after.data() + at, 7);
    freeMap &= ~(1ull << slot);
  }
  std::memcpy(allowed.data() + log + 8, &freeMap, sizeof(freeMap));
  uint64_t differing = 0;
  uint64_t first = 0;
  for (uint64_t index = 0; index < after.size(); ++index) {
    if (allowed[index] == after[index]) continue;
    if (differing++ == 0) first = index;
  }
  if (differing == 0) return "";
  return std::to_string(differing) + " flash bytes changed beyond the log, the first at linear " +
         sim::HexNumber(first) + " (" + sim::HexNumber(before[first]) + " -> " + sim::HexNumber(after[first]) + ")";
}

std::string SmramChanges(const std::vector<uint8_t> &before, const std::vector<uint8_t> &after, uint64_t base) {
  uint64_t differing = 0;
  uint64_t first = 0;
  for (uint64_t index = 0; index < before.size() && index < after.size(); ++index) {
    if (before[index] == after[index]) continue;
    if (differing++ == 0) first = index;
  }
  if (differing == 0) return "";
  return std::to_string(differing) + " SMRAM bytes changed, the first at " + sim::HexNumber(base + first);
}

std::string FaultsAndFindings(sim::Platform &platform) {
  std::string text;
  for (sim::EffectKind kind : {sim::EffectKind::Fault, sim::EffectKind::Finding, sim::EffectKind::ImageFault}) {
    for (const sim::Effect &effect : platform.Trace().OfKind(kind)) text += effect.actor + ": " + effect.what + "\n";
  }
  return text;
}

}  // namespace simtest
