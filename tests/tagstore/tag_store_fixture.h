// Platforms with each kind of flash, and the tag-store probe that drives the store and
// the flash layer of an image built like the SMM deliverable.
#pragma once

#include <ostream>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"
#include "tests/images/tag_store_probe.h"
#include "tests/support/sim_helpers.h"

namespace tagtest {

constexpr uint64_t kBase = sim::kTagStoreBase;
constexpr uint32_t kPlog = TAG_STORE_TAG('P', 'L', 'O', 'G');
constexpr uint32_t kMfg0 = TAG_STORE_TAG('M', 'F', 'G', '0');
constexpr uint32_t kCnf1 = TAG_STORE_TAG('C', 'N', 'F', '1');

enum class Flash { SpiBoot, SpiSmmRegion, SpiSmmNoRegion, Parallel, FirmwareHub };

inline const char *FlashName(Flash flash) {
  switch (flash) {
    case Flash::SpiBoot: return "SpiBoot";
    case Flash::SpiSmmRegion: return "SpiSmmRegion";
    case Flash::SpiSmmNoRegion: return "SpiSmmNoRegion";
    case Flash::Parallel: return "Parallel";
    case Flash::FirmwareHub: return "FirmwareHub";
  }
  return "?";
}
inline void PrintTo(Flash flash, std::ostream *out) { *out << FlashName(flash); }

inline sim::PlatformProfile FlashPlatform(Flash flash) {
  sim::PlatformProfile profile;
  profile.name = FlashName(flash);
  switch (flash) {
    case Flash::SpiBoot: sim::UseSpiFlash(profile); break;
    case Flash::SpiSmmRegion:
    case Flash::SpiSmmNoRegion:
      sim::UseSpiFlash(profile);
      profile.smmBase = true;
      profile.flash.regionFlashSmm = flash == Flash::SpiSmmRegion;
      break;
    case Flash::Parallel: sim::UseParallelJedecFlash(profile); break;
    case Flash::FirmwareHub: sim::UseFirmwareHubFlash(profile); break;
  }
  return profile;
}

inline bool RunsInSmm(Flash flash) { return flash == Flash::SpiSmmRegion || flash == Flash::SpiSmmNoRegion; }

// Loads a fresh copy of the probe and returns its routines.
inline TAG_STORE_PROBE *LoadProbe(sim::Platform &platform, bool smm = false) {
  sim::LoadOptions options;
  options.smm = smm;
  auto &image = platform.Load("TagStoreProbe", options);
  EXPECT_EQ(image.entryStatus, EFI_SUCCESS);
  TAG_STORE_PROBE *probe = nullptr;
  for (const sim::HandleRecord &record : platform.Core().Protocols().Handles()) {
    if (record.handle != image.handle) continue;
    for (const sim::ProtocolEntry &entry : record.protocols) {
      if (std::memcmp(&entry.guid, &gTagStoreProbeProtocolGuid, sizeof(EFI_GUID)) == 0) {
        probe = static_cast<TAG_STORE_PROBE *>(entry.interface);
      }
    }
  }
  EXPECT_NE(probe, nullptr);
  return probe;
}

inline std::vector<uint8_t> FlashBytes(sim::Platform &platform, uint64_t address, size_t length) {
  return platform.Flash().Peek(address, length);
}

inline std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t index = 0; index < length; ++index) bytes[index] = static_cast<uint8_t>(seed + index * 7);
  return bytes;
}

inline std::vector<sim::Effect> FlashEffects(sim::Platform &platform) {
  return platform.Trace().OfKind(sim::EffectKind::FlashOperation);
}

inline TagStoreEntry *Entry(TAG_STORE_PROBE *probe, uint32_t tag) {
  for (TagStoreEntry *entry = simtest::Call(probe->Table); entry->Tag != TAG_STORE_TERMINATOR; ++entry) {
    if (entry->Tag == tag) return entry;
  }
  return nullptr;
}

// Leaves the log record in flash holding bits a new log must set again (all zeros), so
// that a flush of a new log cannot program in place and takes the erase path.
inline void ForceEraseOnNextLogFlush(sim::Platform &platform, TAG_STORE_PROBE *probe) {
  for (TagStoreEntry *entry = simtest::Call(probe->Table); entry->Tag != TAG_STORE_TERMINATOR; ++entry) {
    if (entry->Tag == kPlog) platform.Flash().Load(kBase + entry->Offset, std::vector<uint8_t>(entry->Size, 0x00));
  }
}

}  // namespace tagtest
