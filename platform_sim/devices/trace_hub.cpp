#include "platform_sim/devices/trace_hub.h"

#include <cstdio>
#include <cstring>

#include "platform_sim/firmware/guid_util.h"

namespace sim {

void TraceHub::MmioWrite(uint64_t offset, unsigned width, uint64_t value) {
  uint32_t index = static_cast<uint32_t>(offset / kChannelSize);
  TraceHubWrite write{static_cast<uint32_t>(offset % kChannelSize), width, value};

  if (write.offset == kDataTimestamped) {
    // A new tag opens a new message; one left open on this channel stays unfinished.
    auto previous = open_.find(index);
    if (previous != open_.end()) Decode(messages_[previous->second]);
    TraceHubMessage message;
    message.master = kFirstMaster + index / kChannelsPerMaster;
    message.channel = index % kChannelsPerMaster;
    message.tag = static_cast<uint32_t>(value);
    message.writes.push_back(write);
    open_[index] = messages_.size();
    messages_.push_back(std::move(message));
    return;
  }
  auto open = open_.find(index);
  if (open == open_.end()) {
    stray_.push_back(write);
    return;
  }
  TraceHubMessage &message = messages_[open->second];
  message.writes.push_back(write);
  if (write.offset == kData) {
    for (unsigned byte = 0; byte < width; ++byte) message.payload.push_back(static_cast<uint8_t>(value >> (8 * byte)));
  } else if (write.offset == kFlag) {
    message.ended = true;
    open_.erase(open);
    Decode(message);
    if (observer_) observer_(message);
  }
}

const std::vector<TraceHubMessage> &TraceHub::Messages() {
  for (const auto &[index, position] : open_) Decode(messages_[position]);
  return messages_;
}

void TraceHub::Decode(TraceHubMessage &message) {
  size_t position = 0;
  const std::vector<uint8_t> &payload = message.payload;
  message.origin.reset();
  message.length.reset();
  message.wellFormed = false;
  if (((message.tag >> 16) & 0xFF) == 0xFF) {
    if (payload.size() < position + 16) return;
    EFI_GUID guid;
    std::memcpy(&guid, &payload[position], sizeof(guid));
    message.origin = guid;
    position += 16;
  }
  if ((message.tag & 0x200) != 0) {
    if (payload.size() < position + 2) return;
    message.length = static_cast<uint16_t>(payload[position] | (payload[position + 1] << 8));
    position += 2;
  }
  message.text.assign(payload.begin() + static_cast<long>(position), payload.end());
  message.wellFormed = !message.length || *message.length == message.text.size();
}

std::string DescribeTraceHubMessage(const TraceHubMessage &message) {
  char head[96];
  std::snprintf(head, sizeof(head), "master %u channel %u tag 0x%08X", message.master, message.channel, message.tag);
  std::string line = head;
  if (message.origin) line += " {" + GuidText(*message.origin) + "}";
  line += " \"";
  for (char c : message.text) {
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned char>(c));
      line += escaped;
    } else {
      line += c;
    }
  }
  line += "\"";
  if (!message.ended) line += " (no end flag)";
  if (!message.wellFormed) line += " (malformed)";
  return line;
}

}  // namespace sim

namespace sim {

void TraceHub::ForgetFinished() {
  std::vector<TraceHubMessage> open;
  for (auto &[index, position] : open_) {
    open.push_back(std::move(messages_[position]));
    position = open.size() - 1;
  }
  messages_ = std::move(open);
  stray_.clear();
}

}  // namespace sim
