// The trace hub's software-trace window at 0xFE200000: 64 bytes per channel, 128
// channels per master from master 32 up. Each channel's writes are decoded as MIPI SyS-T
// messages: a time-stamped 32-bit tag at 0x10 opens one, data writes at 0x00 carry its
// payload, the flag write at 0x30 ends it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform_sim/memory/address_map.h"
#include "runtime/uefi/types.h"

namespace sim {

struct TraceHubWrite {
  uint32_t offset = 0;  // within the channel
  unsigned width = 0;   // bytes
  uint64_t value = 0;
};

struct TraceHubMessage {
  uint32_t master = 0;
  uint32_t channel = 0;
  uint32_t tag = 0;
  std::vector<TraceHubWrite> writes;  // every write of the message, tag and flag included
  std::vector<uint8_t> payload;       // the data bytes after the tag, in order
  bool ended = false;                 // the end-of-message flag arrived

  // Decoded from the tag and the payload.
  unsigned Type() const { return tag & 0xF; }
  unsigned Severity() const { return (tag >> 4) & 0x7; }
  unsigned Subtype() const { return (tag >> 24) & 0x3F; }
  std::optional<EFI_GUID> origin;  // when tag bits 16 to 23 are all set
  std::optional<uint16_t> length;  // when tag bit 9 is set
  std::string text;                // the payload after origin and length
  // The payload holds exactly what the tag announces (origin, length, then length bytes).
  bool wellFormed = false;
};

class TraceHub : public MmioDevice {
 public:
  static constexpr uint64_t kBase = 0xFE200000;
  static constexpr uint64_t kSize = 0x200000;  // masters 32 to 287
  static constexpr uint32_t kFirstMaster = 32;
  static constexpr uint32_t kChannelsPerMaster = 128;
  static constexpr uint32_t kChannelSize = 64;
  static constexpr uint32_t kData = 0x00, kDataTimestamped = 0x10, kFlag = 0x30;

  void Attach(AddressMap &map) { map.ClaimMmio(kBase, kSize, this); }

  // Messages in the order they were opened, finished or not; decoded as far as they go.
  const std::vector<TraceHubMessage> &Messages();
  // One line per message, as DescribeTraceHubMessage writes it.
  nlohmann::ordered_json Describe();
  // Data or flag writes that came with no open message on their channel.
  const std::vector<TraceHubWrite> &StrayWrites() const { return stray_; }
  void OnMessage(std::function<void(const TraceHubMessage &)> observer) { observer_ = std::move(observer); }
  // Forgets the finished messages and stray writes (a long fuzzing run); messages still
  // open on their channel are kept so that their later writes still find them.
  void ForgetFinished();

  // The window answers reads with zeros: it is there.
  uint64_t MmioRead(uint64_t, unsigned) override { return 0; }
  void MmioWrite(uint64_t offset, unsigned width, uint64_t value) override;

 private:
  static void Decode(TraceHubMessage &message);

  std::vector<TraceHubMessage> messages_;
  std::map<uint32_t, size_t> open_;  // channel index -> message
  std::vector<TraceHubWrite> stray_;
  std::function<void(const TraceHubMessage &)> observer_;
};

// One line: master, channel, tag, origin and the text with control characters escaped.
std::string DescribeTraceHubMessage(const TraceHubMessage &message);

}  // namespace sim
