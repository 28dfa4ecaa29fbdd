#include "tools/simulator/flash_tool.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/report/power_event_log_report.h"
#include "platform_sim/report/tag_store_records.h"
#include "platform_sim/trace/hex_text.h"
#include "tools/simulator/cli_errors.h"
#include "tools/simulator/flash_file.h"

namespace simulator {

using json = nlohmann::ordered_json;

namespace {

struct Image {
  std::vector<uint8_t> bytes;
  uint64_t tagStore = 0;  // file offset of the tag store block
};

Image Open(const FlashToolRequest &request) {
  Image image;
  image.bytes = ReadFlashImage(request.file, request.profile.flash, request.profile.name);
  image.tagStore = FlashFileOffset(sim::kTagStoreBase, image.bytes.size());
  return image;
}

std::vector<uint8_t> RecordBytes(const Image &image, const sim::TagStoreRecord &record) {
  auto begin = image.bytes.begin() + static_cast<long>(image.tagStore + record.offset);
  return std::vector<uint8_t>(begin, begin + record.size);
}

sim::TagStoreRecord Plog() { return *sim::FindTagStoreRecord(sim::PowerEventLogTag()); }

void Info(const FlashToolRequest &request, const Image &image, std::ostream &out) {
  json records = json::array();
  for (const sim::TagStoreRecord &record : sim::TagStoreRecords()) {
    const std::vector<uint8_t> bytes = RecordBytes(image, record);
    const bool erased = std::all_of(bytes.begin(), bytes.end(), [](uint8_t byte) { return byte == 0xFF; });
    records.push_back({{"tag", record.tag}, {"offset", record.offset}, {"size", record.size}, {"erased", erased}});
  }
  if (request.json) {
    out << json{{"file", request.file},
                {"size", image.bytes.size()},
                {"tagStoreAddress", sim::HexNumber(sim::kTagStoreBase, 8)},
                {"tagStoreFileOffset", image.tagStore},
                {"records", records}}
               .dump(2)
        << "\n";
    return;
  }
  out << request.file << ": " << image.bytes.size() << " bytes (" << (image.bytes.size() >> 20) << " MiB)\n";
  out << "Tag store at " << sim::HexNumber(sim::kTagStoreBase, 8) << " (file offset "
      << sim::HexNumber(image.tagStore, 6) << ")\n";
  char line[96];
  for (const json &record : records) {
    std::snprintf(line, sizeof(line), "  %s  offset 0x%04X  %4u bytes  %s\n", record["tag"].get<std::string>().c_str(),
                  record["offset"].get<unsigned>(), record["size"].get<unsigned>(),
                  record["erased"].get<bool>() ? "erased" : "written");
    out << line;
  }
}

void Dump(const FlashToolRequest &request, const Image &image, std::ostream &out) {
  const std::optional<sim::TagStoreRecord> record = sim::FindTagStoreRecord(request.tag);
  if (!record) {
    std::string tags;
    for (const sim::TagStoreRecord &known : sim::TagStoreRecords()) tags += (tags.empty() ? "" : ", ") + known.tag;
    throw InputError("no record \"" + request.tag + "\" in the tag store (records: " + tags + ")");
  }
  const std::vector<uint8_t> bytes = RecordBytes(image, *record);
  char text[8];
  if (request.json) {
    out << json{{"tag", record->tag}, {"offset", record->offset}, {"size", record->size}, {"hex", sim::HexBytes(bytes)}}
               .dump(2)
        << "\n";
    return;
  }
  out << "\"" << record->tag << "\" at tag store offset " << sim::HexNumber(record->offset, 4) << ", " << record->size
      << " bytes\n";
  for (size_t row = 0; row < bytes.size(); row += 16) {
    std::snprintf(text, sizeof(text), "%04zX:", row);
    out << text;
    for (size_t index = row; index < row + 16 && index < bytes.size(); ++index) {
      std::snprintf(text, sizeof(text), " %02X", bytes[index]);
      out << text;
    }
    out << "\n";
  }
}

void Log(const FlashToolRequest &request, const Image &image, std::ostream &out) {
  const json log = sim::DescribePowerEventLog(RecordBytes(image, Plog()));
  if (!log["provisioned"].get<bool>()) {
    throw InputError(request.file + ": the power-event log is not provisioned (signature \"" +
                     log["signature"].get<std::string>() + "\"); \"flash log provision\" writes it");
  }
  if (request.json) {
    out << log.dump(2) << "\n";
  } else {
    sim::WritePowerEventLog(out, log);
  }
}

uint8_t EventValue(const std::string &text) {
  if (const std::optional<uint8_t> named = sim::PowerEventFromName(text)) return *named;
  size_t used = 0;
  unsigned long value = 0;
  try {
    value = std::stoul(text, &used, 0);
  } catch (const std::exception &) {
    used = 0;
  }
  if (used == 0 || used != text.size() || value > 0xFF || text[0] == '-') {
    throw InputError("event \"" + text + "\": expected 0 to 255 (0x.. allowed), start, s3, s4 or s5");
  }
  return static_cast<uint8_t>(value);
}

sim::CalendarTime EventTime(const FlashToolRequest &request) {
  if (request.time.empty()) return request.profile.rtcTime;
  sim::CalendarTime time;
  int used = 0;
  if (std::sscanf(request.time.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &time.year, &time.month, &time.day, &time.hour,
                  &time.minute, &time.second, &used) != 6 ||
      used != static_cast<int>(request.time.size()) || time.year < 2000 || time.year > 2099 || time.month < 1 ||
      time.month > 12 || time.day < 1 || time.day > 31 || time.hour > 23 || time.minute > 59 || time.second > 59) {
    throw InputError("--time \"" + request.time + "\": expected \"YYYY-MM-DD HH:MM:SS\" between 2000 and 2099");
  }
  return time;
}

// Writes the new "PLOG" bytes into the image by NOR rules and the image to its file.
void Store(const FlashToolRequest &request, Image &image, const std::vector<uint8_t> &record, std::ostream &out,
           const std::string &what) {
  const NorWrite done =
      WriteNor(image.bytes, image.tagStore + Plog().offset, record, FlashEraseBlock(request.profile.flash));
  WriteFlashImage(request.file, image.bytes);
  if (request.json) {
    out << json{{"done", what}, {"erasedBlocks", done.erasedBlocks}, {"programmedBytes", done.programmedBytes}}.dump(2)
        << "\n";
  } else {
    out << what << " (" << done.erasedBlocks << " block(s) erased, " << done.programmedBytes
        << " byte(s) programmed)\n";
  }
}

}  // namespace

void RunFlashTool(const FlashToolRequest &request, std::ostream &out) {
  Image image = Open(request);
  switch (request.action) {
    case FlashAction::Info: Info(request, image, out); return;
    case FlashAction::Dump: Dump(request, image, out); return;
    case FlashAction::Log: Log(request, image, out); return;
    case FlashAction::LogProvision: {
      if (sim::DecodePowerEventLog(RecordBytes(image, Plog())).provisioned) {
        throw InputError(request.file + ": the power-event log is already provisioned; \"flash log clear\" starts it "
                                        "afresh");
      }
      Store(request, image, sim::ProvisionedPowerEventLog(), out, "power-event log provisioned");
      return;
    }
    case FlashAction::LogClear:
      Store(request, image, sim::ProvisionedPowerEventLog(), out, "power-event log cleared");
      return;
    case FlashAction::LogAdd: {
      const uint8_t event = EventValue(request.event);
      const sim::CalendarTime time = EventTime(request);
      std::vector<uint8_t> record = RecordBytes(image, Plog());
      std::string reason;
      if (!sim::AppendPowerEvent(record, event, time, &reason)) throw InputError(request.file + ": " + reason);
      const sim::DecodedPowerEventLog log = sim::DecodePowerEventLog(record);
      const sim::PowerEventEntry &added = log.used.back();
      Store(request, image, record, out,
            "slot " + std::to_string(added.slot) + ": " + sim::PowerEventTime(added) + "  " +
                sim::PowerEventName(added.event));
      return;
    }
  }
}

}  // namespace simulator
