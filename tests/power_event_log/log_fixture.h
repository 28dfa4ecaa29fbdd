// Platforms for the power-event log: SPI flash with the region service in SMM, the Sx
// dispatcher, a provisioned "PLOG" record; and helpers to read the record back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/platform.h"
#include "tests/support/sim_helpers.h"
#include "power_event_log/power_event_log.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace logtest {

constexpr uint64_t kLogAddress = sim::kTagStoreBase + 0x1300;
constexpr uint64_t kFreshMap = ~0ull;

inline std::vector<uint8_t> LogRecord(uint64_t freeMap, uint8_t fill = 0xFF) {
  std::vector<uint8_t> record(512, fill);
  std::memcpy(record.data(), "KOVAPLOG", 8);
  std::memcpy(record.data() + 8, &freeMap, 8);
  return record;
}

// The SMM platform; the log provisioned with this free map unless told otherwise.
inline sim::PlatformProfile SmmProfile(std::optional<uint64_t> freeMap = kFreshMap) {
  sim::PlatformProfile profile;
  profile.name = "smm";
  sim::UseSpiFlash(profile);
  profile.smmBase = true;
  profile.flash.regionFlashSmm = true;
  if (freeMap) profile.flash.contents.push_back({kLogAddress, LogRecord(*freeMap)});
  return profile;
}

inline PowerEventLogRecord ReadLog(sim::Platform &platform) {
  PowerEventLogRecord log;
  std::vector<uint8_t> bytes = platform.Flash().Peek(kLogAddress, sizeof(log));
  std::memcpy(&log, bytes.data(), sizeof(log));
  return log;
}

inline std::vector<uint8_t> Span(sim::Platform &platform) { return platform.Flash().Peek(sim::kTagStoreBase, 0x2000); }

inline sim::LoadedImage &LoadDriver(sim::Platform &platform, bool intoSmram = true) {
  return platform.Load("PowerEventLogSmm", sim::LoadOptions{false, intoSmram});
}

inline POWER_EVENT_LOG_PROTOCOL *LogProtocol(sim::Platform &platform) {
  void *interface = nullptr;
  platform.Core().SmmProtocols().Locate(gPowerEventLogProtocolGuid, nullptr, &interface);
  return static_cast<POWER_EVENT_LOG_PROTOCOL *>(interface);
}

// Other SMM code calling the published writer, inside an SMI.
inline EFI_STATUS Append(sim::Platform &platform, UINT8 event) {
  POWER_EVENT_LOG_PROTOCOL *log = LogProtocol(platform);
  EXPECT_NE(log, nullptr);
  if (log == nullptr) return EFI_NOT_FOUND;
  sim::SmiScope smi(platform.Core().Smm());
  sim::ActorScope actor(platform, "SMM caller");
  return simtest::Call(log->AppendEvent, log, event);
}

inline uint64_t FlashCommands(sim::Platform &platform) {
  return platform.Flash().Monitor().Erases() + platform.Flash().Monitor().Programs();
}

inline std::vector<uint8_t> SlotBytes(const PowerEventLogRecord &log, unsigned slot) {
  const auto *bytes = reinterpret_cast<const uint8_t *>(&log.Slot[slot]);
  return std::vector<uint8_t>(bytes, bytes + 8);
}

}  // namespace logtest
