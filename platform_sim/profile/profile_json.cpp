#include "platform_sim/profile/profile_json.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/profile/profile_reader.h"
#include "platform_sim/profile/storage_json.h"
#include "platform_sim/report/tag_store_records.h"
#include "platform_sim/trace/hex_text.h"
#include "runtime/uefi/guids.h"

namespace sim {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr uint64_t kTagStoreBlockSize = 0x2000;

// Bytes as JSON: a hex string when short, otherwise a size, a fill byte and the runs
// that differ from it.
ordered_json BytesToJson(const std::vector<uint8_t> &bytes) {
  if (bytes.size() <= 32) return HexBytes(bytes.data(), bytes.size());
  const size_t ones = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), 0xFF));
  const uint8_t fill = ones * 2 > bytes.size() ? 0xFF : 0x00;
  ordered_json patches = ordered_json::array();
  size_t index = 0;
  while (index < bytes.size()) {
    if (bytes[index] == fill) {
      ++index;
      continue;
    }
    // A run ends at eight fill bytes in a row.
    size_t end = index;
    size_t last = index;
    while (end < bytes.size() && end - last <= 8) {
      if (bytes[end] != fill) last = end;
      ++end;
    }
    patches.push_back({{"offset", HexNumber(index)}, {"hex", HexBytes(bytes.data() + index, last + 1 - index)}});
    index = last + 1;
  }
  return {{"size", bytes.size()}, {"fill", HexNumber(fill, 2)}, {"patches", patches}};
}

// The flash contents split into tag store records (by tag) and other ranges.
struct FlashContents {
  std::map<std::string, std::vector<uint8_t>> records;
  std::vector<std::pair<uint64_t, std::vector<uint8_t>>> ranges;
};

FlashContents SplitContents(const FlashProfile &flash) {
  FlashContents split;
  std::vector<uint8_t> block(kTagStoreBlockSize, 0xFF);
  for (const auto &[address, data] : flash.contents) {
    if (address >= kTagStoreBase && address + data.size() <= kTagStoreBase + kTagStoreBlockSize) {
      std::copy(data.begin(), data.end(), block.begin() + static_cast<long>(address - kTagStoreBase));
    } else {
      split.ranges.push_back({address, data});
    }
  }
  for (const TagStoreRecord &record : TagStoreRecords()) {
    std::vector<uint8_t> bytes(block.begin() + record.offset, block.begin() + record.offset + record.size);
    if (std::any_of(bytes.begin(), bytes.end(), [](uint8_t byte) { return byte != 0xFF; })) {
      split.records[record.tag] = bytes;
    }
  }
  return split;
}

void JoinContents(FlashProfile &flash, const FlashContents &split) {
  flash.contents.clear();
  if (!split.records.empty()) {
    std::vector<uint8_t> block(kTagStoreBlockSize, 0xFF);
    for (const auto &[tag, bytes] : split.records) {
      const TagStoreRecord record = *FindTagStoreRecord(tag);
      std::copy(bytes.begin(), bytes.end(), block.begin() + record.offset);
    }
    flash.contents.push_back({kTagStoreBase, block});
  }
  for (const auto &range : split.ranges) flash.contents.push_back(range);
}

bool CandidateSpace(const EFI_GUID &space) {
  return SameGuid(space, gFlashDescriptorTokenSpaceGuid) || SameGuid(space, gFlashCommandTokenSpaceGuid) ||
         SameGuid(space, gFlashFirstNameTokenSpaceGuid) || SameGuid(space, gFlashSecondNameTokenSpaceGuid);
}

std::string PcdText(const std::vector<uint8_t> &value) {
  std::string text(value.begin(), value.end());
  return text.substr(0, text.find('\0'));
}

// The candidate device table as the profile's PCDs hold it, by token in table order.
std::vector<FlashCandidate> Candidates(const PlatformProfile &profile) {
  std::vector<FlashCandidate> candidates;
  for (const PlatformProfile::Pcd &pcd : profile.pcds) {
    if (!pcd.space || !CandidateSpace(*pcd.space)) continue;
    auto found = std::find_if(candidates.begin(), candidates.end(),
                              [&](const FlashCandidate &candidate) { return candidate.token == pcd.token; });
    if (found == candidates.end()) {
      candidates.push_back(FlashCandidate{pcd.token, {}, {}, "", ""});
      found = candidates.end() - 1;
    }
    if (SameGuid(*pcd.space, gFlashDescriptorTokenSpaceGuid)) found->descriptor = pcd.value;
    if (SameGuid(*pcd.space, gFlashCommandTokenSpaceGuid)) found->commandData = pcd.value;
    if (SameGuid(*pcd.space, gFlashFirstNameTokenSpaceGuid)) found->firstName = PcdText(pcd.value);
    if (SameGuid(*pcd.space, gFlashSecondNameTokenSpaceGuid)) found->secondName = PcdText(pcd.value);
  }
  return candidates;
}

std::optional<uint32_t> ChosenToken(const PlatformProfile &profile) {
  for (const PlatformProfile::Pcd &pcd : profile.pcds) {
    if (!pcd.space && pcd.token == kChosenFlashToken && pcd.value.size() >= 4) {
      uint32_t token = 0;
      std::memcpy(&token, pcd.value.data(), sizeof(token));
      return token;
    }
  }
  return std::nullopt;
}

// The timings by their names in the format.
const std::pair<const char *, uint64_t FlashTimings::*> kTimings[] = {
    {"sectorEraseUs", &FlashTimings::sectorEraseUs},       {"blockEraseUs", &FlashTimings::blockEraseUs},
    {"byteProgramUs", &FlashTimings::byteProgramUs},       {"pageProgramUs", &FlashTimings::pageProgramUs},
    {"sectorEraseMaxUs", &FlashTimings::sectorEraseMaxUs}, {"blockEraseMaxUs", &FlashTimings::blockEraseMaxUs},
    {"byteProgramMaxUs", &FlashTimings::byteProgramMaxUs}, {"pageProgramMaxUs", &FlashTimings::pageProgramMaxUs},
};

const char *SleepPhaseName(EFI_SLEEP_PHASE phase) { return phase == SxEntry ? "entry" : "exit"; }

const char *PartName(FlashPartKind kind) {
  switch (kind) {
    case FlashPartKind::Spi: return "spi";
    case FlashPartKind::ParallelJedec: return "parallel-jedec";
    case FlashPartKind::FirmwareHub: return "firmware-hub";
    case FlashPartKind::None: break;
  }
  return "none";
}

const char *EcName(EcResponsiveness responsiveness) {
  switch (responsiveness) {
    case EcResponsiveness::Dead: return "dead";
    case EcResponsiveness::Mute: return "mute";
    case EcResponsiveness::Normal: break;
  }
  return "normal";
}

std::string TimeText(const CalendarTime &time) {
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day, time.hour,
                time.minute, time.second);
  return text;
}

ordered_json Optional(const std::optional<uint64_t> &value) {
  return value ? ordered_json(*value) : ordered_json(nullptr);
}

FlashPartKind PartKind(const ProfileReader &reader, const json &value, const std::string &path) {
  const std::string name = value.is_string() ? value.get<std::string>() : "";
  for (FlashPartKind kind :
       {FlashPartKind::Spi, FlashPartKind::ParallelJedec, FlashPartKind::FirmwareHub, FlashPartKind::None}) {
    if (name == PartName(kind)) return kind;
  }
  reader.Fail(path, "one of \"spi\", \"parallel-jedec\", \"firmware-hub\", \"none\"", value);
}

// A new part: its hardware, candidate table and factory tag store; nothing else.
void UsePart(PlatformProfile &profile, FlashPartKind kind) {
  const FlashProfile old = profile.flash;
  profile.flash = FlashProfile{};
  profile.flash.chipsetSpi = old.chipsetSpi;
  profile.flash.chipsetSpiSmm = old.chipsetSpiSmm;
  profile.flash.regionFlashSmm = old.regionFlashSmm;
  profile.flash.faults = old.faults;
  std::erase_if(profile.pcds, [](const PlatformProfile::Pcd &pcd) {
    return pcd.space ? CandidateSpace(*pcd.space) : pcd.token == kChosenFlashToken;
  });
  switch (kind) {
    case FlashPartKind::Spi: UseSpiFlash(profile); break;
    case FlashPartKind::ParallelJedec: UseParallelJedecFlash(profile); break;
    case FlashPartKind::FirmwareHub: UseFirmwareHubFlash(profile); break;
    case FlashPartKind::None: break;
  }
}

CalendarTime ReadTime(const ProfileReader &reader, const json &value, const std::string &path) {
  const std::string expected = "a time \"YYYY-MM-DD HH:MM:SS\" between 2000 and 2099";
  if (!value.is_string()) reader.Fail(path, expected, value);
  CalendarTime time;
  int used = 0;
  const std::string text = value.get<std::string>();
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &time.year, &time.month, &time.day, &time.hour,
                  &time.minute, &time.second, &used) != 6 ||
      used != static_cast<int>(text.size()) || time.year < 2000 || time.year > 2099 || time.month < 1 ||
      time.month > 12 || time.day < 1 || time.day > 31 || time.hour > 23 || time.minute > 59 || time.second > 59) {
    reader.Fail(path, expected, value);
  }
  return time;
}

void ReadFirmware(const ProfileReader &reader, const json &value, PlatformProfile &profile) {
  const std::string path = "firmware";
  reader.Object(value, path,
                {"hobList", "dxeServices", "tscFrequencyHob", "tscFrequencyTable", "hiiProtocols", "pcdProtocols",
                 "pcdInfoProtocols", "flashAccessProtocol", "smm", "smmAccess", "smmCommunication",
                 "addressFixupAtBoot", "variableWriteAtBoot", "s3BootScriptPcd"});
  const std::pair<const char *, bool *> flags[] = {
      {"hobList", &profile.hobList},
      {"dxeServices", &profile.dxeServices},
      {"hiiProtocols", &profile.hiiProtocols},
      {"pcdProtocols", &profile.pcdProtocols},
      {"pcdInfoProtocols", &profile.pcdInfoProtocols},
      {"flashAccessProtocol", &profile.flashAccessProtocol},
      {"smm", &profile.smmBase},
      {"smmAccess", &profile.smmAccess},
      {"smmCommunication", &profile.smmCommunication},
      {"addressFixupAtBoot", &profile.addressFixupAtBoot},
      {"variableWriteAtBoot", &profile.variableWriteAtBoot},
      {"s3BootScriptPcd", &profile.s3BootScriptPcd},
  };
  for (const auto &[name, field] : flags) {
    if (value.contains(name)) *field = reader.Bool(value[name], ProfileReader::Join(path, name));
  }
  for (const auto &[name, field] : {std::pair{"tscFrequencyHob", &profile.tscFrequencyHob},
                                    std::pair{"tscFrequencyTable", &profile.tscFrequencyTable}}) {
    if (!value.contains(name)) continue;
    if (value[name].is_null()) {
      field->reset();
    } else {
      *field = reader.Unsigned(value[name], ProfileReader::Join(path, name), UINT64_MAX);
    }
  }
}

void ReadVariables(const ProfileReader &reader, const json &value, PlatformProfile &profile) {
  if (!value.is_array()) reader.Fail("variables", "an array of variables", value);
  profile.variables.clear();
  for (size_t index = 0; index < value.size(); ++index) {
    const std::string path = "variables[" + std::to_string(index) + "]";
    const json &item = value[index];
    reader.Object(item, path, {"name", "guid", "attributes", "data"});
    for (const char *required : {"name", "guid", "attributes", "data"}) {
      if (!item.contains(required))
        reader.Fail(ProfileReader::Join(path, required), "a value (the field is required)", nullptr);
    }
    Variable variable;
    const std::string name = reader.String(item["name"], path + ".name");
    if (name.empty() || std::any_of(name.begin(), name.end(), [](char c) { return c < 0x20 || c > 0x7E; })) {
      reader.Fail(path + ".name", "a non-empty printable ASCII name", item["name"]);
    }
    variable.name.assign(name.begin(), name.end());
    if (!item["guid"].is_string() || !GuidFromName(item["guid"].get<std::string>(), &variable.guid)) {
      reader.Fail(path + ".guid",
                  "a GUID \"XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX\" or a known name such as \"SetupVariable\"",
                  item["guid"]);
    }
    variable.attributes = static_cast<uint32_t>(reader.Unsigned(item["attributes"], path + ".attributes", 0xFFFFFFFF));
    variable.data = reader.Bytes(item["data"], path + ".data", 0x10000);
    profile.variables.push_back(std::move(variable));
  }
}

void ReadTimings(const ProfileReader &reader, const json &value, FlashTimings &timings) {
  reader.Object(value, "flash.timings",
                {"sectorEraseUs", "blockEraseUs", "byteProgramUs", "pageProgramUs", "sectorEraseMaxUs",
                 "blockEraseMaxUs", "byteProgramMaxUs", "pageProgramMaxUs"});
  // Up to an hour: a busy time longer than that is a typing error, not a part.
  for (const auto &[name, field] : kTimings) {
    if (value.contains(name))
      timings.*field = reader.Unsigned(value[name], ProfileReader::Join("flash.timings", name), 3600000000ull);
  }
}

void ReadCandidates(const ProfileReader &reader, const json &value, PlatformProfile &profile) {
  if (!value.is_array()) reader.Fail("flash.candidates", "an array of candidate devices", value);
  std::erase_if(profile.pcds, [](const PlatformProfile::Pcd &pcd) { return pcd.space && CandidateSpace(*pcd.space); });
  std::set<UINTN> tokens;
  for (size_t index = 0; index < value.size(); ++index) {
    const std::string at = "flash.candidates[" + std::to_string(index) + "]";
    const json &item = value[index];
    reader.Object(item, at, {"token", "descriptor", "commandData", "firstName", "secondName"});
    for (const char *required : {"token", "descriptor", "commandData", "firstName", "secondName"}) {
      if (!item.contains(required))
        reader.Fail(ProfileReader::Join(at, required), "a value (the field is required)", nullptr);
    }
    FlashCandidate candidate;
    candidate.token = reader.Unsigned(item["token"], at + ".token", UINT32_MAX);
    if (candidate.token == 0 || !tokens.insert(candidate.token).second) {
      reader.Fail(at + ".token", "a token other than 0 that no other candidate has", item["token"]);
    }
    candidate.descriptor = reader.Bytes(item["descriptor"], at + ".descriptor", 0x1000);
    candidate.commandData = reader.Bytes(item["commandData"], at + ".commandData", 0x1000);
    candidate.firstName = reader.String(item["firstName"], at + ".firstName");
    candidate.secondName = reader.String(item["secondName"], at + ".secondName");
    AddFlashCandidate(profile, candidate);
  }
}

void ReadFlash(const ProfileReader &reader, const json &value, PlatformProfile &profile) {
  const std::string path = "flash";
  reader.Object(value, path,
                {"part", "chipsetSpi", "chipsetSpiSmm", "regionFlashSmm", "timings", "sfdp", "candidates",
                 "chosenToken", "records", "contents"});
  if (value.contains("part")) {
    FlashPartKind kind = PartKind(reader, value["part"], "flash.part");
    if (kind != profile.flash.kind) UsePart(profile, kind);
  }
  if (value.contains("timings")) ReadTimings(reader, value["timings"], profile.flash.timings);
  if (value.contains("sfdp")) {
    if (profile.flash.kind != FlashPartKind::Spi || profile.flash.components.empty()) {
      reader.Fail("flash.sfdp", "no SFDP table: only the \"spi\" part has one", value["sfdp"]);
    }
    profile.flash.components[0].sfdp = reader.Bytes(value["sfdp"], "flash.sfdp", 0x10000);
  }
  if (value.contains("candidates")) ReadCandidates(reader, value["candidates"], profile);
  if (value.contains("chosenToken")) {
    SetChosenFlashToken(profile,
                        static_cast<uint32_t>(reader.Unsigned(value["chosenToken"], "flash.chosenToken", UINT32_MAX)));
  }
  for (const auto &[name, field] :
       {std::pair{"chipsetSpi", &profile.flash.chipsetSpi}, std::pair{"chipsetSpiSmm", &profile.flash.chipsetSpiSmm},
        std::pair{"regionFlashSmm", &profile.flash.regionFlashSmm}}) {
    if (value.contains(name)) *field = reader.Bool(value[name], ProfileReader::Join(path, name));
  }
  FlashContents split = SplitContents(profile.flash);
  if (value.contains("records")) {
    const json &records = value["records"];
    if (!records.is_object()) reader.Fail("flash.records", "an object of records by tag", records);
    split.records.clear();
    for (const auto &item : records.items()) {
      const std::string tag = item.key();
      const json &bytes = item.value();
      const std::string at = "flash.records." + tag;
      std::optional<TagStoreRecord> record = FindTagStoreRecord(tag);
      if (!record) {
        std::string tags;
        for (const TagStoreRecord &known : TagStoreRecords()) tags += (tags.empty() ? "" : ", ") + known.tag;
        reader.Fail(at, "a tag of the tag store (" + tags + ")", json(tag));
      }
      std::vector<uint8_t> data = reader.Bytes(bytes, at, record->size);
      if (data.size() != record->size) {
        reader.Fail(at, "exactly " + std::to_string(record->size) + " bytes (the record's size)", bytes);
      }
      split.records[tag] = data;
    }
  }
  if (value.contains("contents")) {
    const json &contents = value["contents"];
    if (!contents.is_array()) reader.Fail("flash.contents", "an array of {\"address\", \"data\"}", contents);
    split.ranges.clear();
    for (size_t index = 0; index < contents.size(); ++index) {
      const std::string at = "flash.contents[" + std::to_string(index) + "]";
      reader.Object(contents[index], at, {"address", "data"});
      if (!contents[index].contains("address") || !contents[index].contains("data")) {
        reader.Fail(at, "an address and data", contents[index]);
      }
      const uint64_t address = reader.Unsigned(contents[index]["address"], at + ".address", 0xFFFFFFFF);
      std::vector<uint8_t> data = reader.Bytes(contents[index]["data"], at + ".data", 0x1000000);
      if (address < 0x100000000ull - 0x1000000 || address + data.size() > 0x100000000ull) {
        reader.Fail(at + ".address", "an address in the top 16 MiB below 4 GiB, with its data ending at 4 GiB at most",
                    contents[index]["address"]);
      }
      split.ranges.push_back({address, data});
    }
  }
  JoinContents(profile.flash, split);
}

void ReadFaults(const ProfileReader &reader, const json &value, PlatformProfile &profile) {
  reader.Object(value, "faults", {"pitStuck", "rtcUpdateStuck", "flashAccessFails", "flash"});
  for (const auto &[name, field] :
       {std::pair{"pitStuck", &profile.pitStuck}, std::pair{"rtcUpdateStuck", &profile.rtcUpdateStuck},
        std::pair{"flashAccessFails", &profile.flashAccessFails}}) {
    if (value.contains(name)) *field = reader.Bool(value[name], ProfileReader::Join("faults", name));
  }
  if (!value.contains("flash")) return;
  const json &flash = value["flash"];
  const std::string path = "faults.flash";
  reader.Object(flash, path,
                {"failEraseNth", "failEveryErase", "failProgramNth", "failEveryProgram", "powerCutAfter",
                 "powerCutDuring", "stuckBusy", "worstCaseTimes"});
  FlashFaults &faults = profile.flash.faults;
  for (const auto &[name, field] :
       {std::pair{"failEraseNth", &faults.failEraseNth}, std::pair{"failProgramNth", &faults.failProgramNth},
        std::pair{"powerCutAfter", &faults.powerCutAfter}, std::pair{"powerCutDuring", &faults.powerCutDuring}}) {
    if (flash.contains(name)) *field = reader.Unsigned(flash[name], ProfileReader::Join(path, name), UINT32_MAX);
  }
  for (const auto &[name, field] :
       {std::pair{"failEveryErase", &faults.failEveryErase}, std::pair{"failEveryProgram", &faults.failEveryProgram},
        std::pair{"stuckBusy", &faults.stuckBusy}, std::pair{"worstCaseTimes", &faults.worstCaseTimes}}) {
    if (flash.contains(name)) *field = reader.Bool(flash[name], ProfileReader::Join(path, name));
  }
}

// The registrations the Sx dispatcher refuses: a state and phase, or a whole state when
// the phase is left out.
void ReadSx(const ProfileReader &reader, const json &value, PlatformProfile &profile) {
  reader.Object(value, "sx", {"refused"});
  if (!value.contains("refused")) return;
  const json &refused = value["refused"];
  if (!refused.is_array()) reader.Fail("sx.refused", "an array of {\"state\", \"phase\"}", refused);
  profile.sxUnsupported.clear();
  for (size_t index = 0; index < refused.size(); ++index) {
    const std::string at = "sx.refused[" + std::to_string(index) + "]";
    const json &item = refused[index];
    reader.Object(item, at, {"state", "phase"});
    const std::string state =
        item.contains("state") && item["state"].is_string() ? item["state"].get<std::string>() : "";
    if (state.size() != 2 || state[0] != 'S' || state[1] < '0' || state[1] > '5') {
      reader.Fail(at + ".state", "one of \"S0\" to \"S5\"", item.contains("state") ? item["state"] : json(nullptr));
    }
    const auto type = static_cast<EFI_SLEEP_TYPE>(state[1] - '0');
    std::vector<EFI_SLEEP_PHASE> phases = {SxEntry, SxExit};
    if (item.contains("phase")) {
      const json &phase = item["phase"];
      if (phase == "entry") {
        phases = {SxEntry};
      } else if (phase == "exit") {
        phases = {SxExit};
      } else {
        reader.Fail(at + ".phase", "\"entry\" or \"exit\" (left out: both)", phase);
      }
    }
    for (EFI_SLEEP_PHASE phase : phases) profile.sxUnsupported.push_back({type, phase});
  }
}

}  // namespace

ordered_json ProfileToJson(const PlatformProfile &profile) {
  ordered_json document;
  document["name"] = profile.name;
  document["tscHz"] = profile.tscHz;
  ordered_json images = ordered_json::array();
  for (const ProfileImage &image : profile.images) {
    images.push_back({{"name", image.name}, {"runtime", image.runtimeImage}, {"smm", image.smm}});
  }
  document["images"] = images;
  document["firmware"] = {
      {"hobList", profile.hobList},
      {"dxeServices", profile.dxeServices},
      {"tscFrequencyHob", Optional(profile.tscFrequencyHob)},
      {"tscFrequencyTable", Optional(profile.tscFrequencyTable)},
      {"hiiProtocols", profile.hiiProtocols},
      {"pcdProtocols", profile.pcdProtocols},
      {"pcdInfoProtocols", profile.pcdInfoProtocols},
      {"flashAccessProtocol", profile.flashAccessProtocol},
      {"smm", profile.smmBase},
      {"smmAccess", profile.smmAccess},
      {"smmCommunication", profile.smmCommunication},
      {"addressFixupAtBoot", profile.addressFixupAtBoot},
      {"variableWriteAtBoot", profile.variableWriteAtBoot},
      {"s3BootScriptPcd", profile.s3BootScriptPcd},
  };
  document["hardware"] = {{"interruptsEnabled", profile.interruptsEnabled},
                          {"pmcPresent", profile.pmcPresent},
                          {"traceHubPresent", profile.traceHubPresent},
                          {"traceHubDisabled", profile.traceHubDisabled}};
  document["rtc"] = {{"time", TimeText(profile.rtcTime)}};
  ordered_json bank2 = ordered_json::object();
  for (const auto &[index, byte] : profile.cmosBank2) bank2[HexNumber(index, 2)] = HexNumber(byte, 2);
  document["cmos"] = {{"bank2", bank2}};
  ordered_json answers = ordered_json::array();
  for (uint8_t byte : profile.ecAnswers) answers.push_back(HexNumber(byte, 2));
  document["ec"] = {{"responsiveness", EcName(profile.ecResponsiveness.mode)},
                    {"busyAtStartUs", profile.ecResponsiveness.busyAtStartUs},
                    {"answers", answers}};
  if (profile.ecResponsiveness.deadAfterBytes) {
    document["ec"]["deadAfterBytes"] = *profile.ecResponsiveness.deadAfterBytes;
  }
  ordered_json variables = ordered_json::array();
  for (const Variable &variable : profile.variables) {
    variables.push_back({{"name", std::string(variable.name.begin(), variable.name.end())},
                         {"guid", GuidName(variable.guid)},
                         {"attributes", HexNumber(variable.attributes)},
                         {"data", BytesToJson(variable.data)}});
  }
  document["variables"] = variables;
  const FlashContents split = SplitContents(profile.flash);
  ordered_json records = ordered_json::object();
  for (const auto &[tag, bytes] : split.records) records[tag] = BytesToJson(bytes);
  ordered_json contents = ordered_json::array();
  for (const auto &[address, data] : split.ranges) {
    contents.push_back({{"address", HexNumber(address, 8)}, {"data", BytesToJson(data)}});
  }
  ordered_json timings = ordered_json::object();
  for (const auto &[name, field] : kTimings) timings[name] = profile.flash.timings.*field;
  ordered_json candidates = ordered_json::array();
  for (const FlashCandidate &candidate : Candidates(profile)) {
    candidates.push_back({{"token", HexNumber(candidate.token)},
                          {"descriptor", BytesToJson(candidate.descriptor)},
                          {"commandData", BytesToJson(candidate.commandData)},
                          {"firstName", candidate.firstName},
                          {"secondName", candidate.secondName}});
  }
  document["flash"] = {{"part", PartName(profile.flash.kind)},
                       {"chipsetSpi", profile.flash.chipsetSpi},
                       {"chipsetSpiSmm", profile.flash.chipsetSpiSmm},
                       {"regionFlashSmm", profile.flash.regionFlashSmm},
                       {"timings", timings}};
  if (profile.flash.kind == FlashPartKind::Spi && !profile.flash.components.empty()) {
    document["flash"]["sfdp"] = BytesToJson(profile.flash.components[0].sfdp);
  }
  document["flash"]["candidates"] = candidates;
  if (const std::optional<uint32_t> chosen = ChosenToken(profile)) {
    document["flash"]["chosenToken"] = HexNumber(*chosen);
  }
  document["flash"]["records"] = records;
  document["flash"]["contents"] = contents;
  const FlashFaults &faults = profile.flash.faults;
  document["faults"] = {{"pitStuck", profile.pitStuck},
                        {"rtcUpdateStuck", profile.rtcUpdateStuck},
                        {"flashAccessFails", profile.flashAccessFails},
                        {"flash",
                         {{"failEraseNth", faults.failEraseNth},
                          {"failEveryErase", faults.failEveryErase},
                          {"failProgramNth", faults.failProgramNth},
                          {"failEveryProgram", faults.failEveryProgram},
                          {"powerCutAfter", faults.powerCutAfter},
                          {"powerCutDuring", faults.powerCutDuring},
                          {"stuckBusy", faults.stuckBusy},
                          {"worstCaseTimes", faults.worstCaseTimes}}}};
  ordered_json refused = ordered_json::array();
  for (const SxCombination &combination : profile.sxUnsupported) {
    refused.push_back({{"state", "S" + std::to_string(static_cast<int>(combination.type))},
                       {"phase", SleepPhaseName(combination.phase)}});
  }
  document["sx"] = {{"refused", refused}};
  document["storage"] = StorageToJson(profile.storage);
  return document;
}

PlatformProfile ProfileFromJson(const json &document, const std::string &source) {
  const ProfileReader reader(source);
  reader.Object(document, "",
                {"name", "tscHz", "images", "firmware", "hardware", "rtc", "cmos", "ec", "variables", "flash", "faults",
                 "sx", "storage"});
  PlatformProfile profile = DefaultPlatformProfile();
  if (document.contains("name")) profile.name = reader.String(document["name"], "name");
  if (document.contains("tscHz")) {
    profile.tscHz = reader.Unsigned(document["tscHz"], "tscHz", UINT64_MAX);
    if (profile.tscHz == 0) reader.Fail("tscHz", "a frequency above 0", document["tscHz"]);
  }
  if (document.contains("images")) {
    const json &images = document["images"];
    if (!images.is_array()) reader.Fail("images", "an array of images", images);
    profile.images.clear();
    for (size_t index = 0; index < images.size(); ++index) {
      const std::string at = "images[" + std::to_string(index) + "]";
      reader.Object(images[index], at, {"name", "runtime", "smm"});
      ProfileImage image;
      if (!images[index].contains("name"))
        reader.Fail(at + ".name", "the image's file name without extension", nullptr);
      image.name = reader.String(images[index]["name"], at + ".name");
      if (image.name.empty() || image.name.find('/') != std::string::npos) {
        reader.Fail(at + ".name", "a file name without directory or extension", images[index]["name"]);
      }
      if (images[index].contains("runtime"))
        image.runtimeImage = reader.Bool(images[index]["runtime"], at + ".runtime");
      if (images[index].contains("smm")) image.smm = reader.Bool(images[index]["smm"], at + ".smm");
      profile.images.push_back(image);
    }
  }
  if (document.contains("firmware")) ReadFirmware(reader, document["firmware"], profile);
  if (document.contains("hardware")) {
    const json &hardware = document["hardware"];
    reader.Object(hardware, "hardware", {"interruptsEnabled", "pmcPresent", "traceHubPresent", "traceHubDisabled"});
    for (const auto &[name, field] :
         {std::pair{"interruptsEnabled", &profile.interruptsEnabled}, std::pair{"pmcPresent", &profile.pmcPresent},
          std::pair{"traceHubPresent", &profile.traceHubPresent},
          std::pair{"traceHubDisabled", &profile.traceHubDisabled}}) {
      if (hardware.contains(name)) *field = reader.Bool(hardware[name], ProfileReader::Join("hardware", name));
    }
  }
  if (document.contains("rtc")) {
    reader.Object(document["rtc"], "rtc", {"time"});
    if (document["rtc"].contains("time")) profile.rtcTime = ReadTime(reader, document["rtc"]["time"], "rtc.time");
  }
  if (document.contains("cmos")) {
    reader.Object(document["cmos"], "cmos", {"bank2"});
    if (document["cmos"].contains("bank2")) {
      const json &bank2 = document["cmos"]["bank2"];
      if (!bank2.is_object()) reader.Fail("cmos.bank2", "an object of register: value", bank2);
      profile.cmosBank2.clear();
      for (const auto &item : bank2.items()) {
        const std::string index = item.key();
        const json &byte = item.value();
        const auto reg = static_cast<uint8_t>(reader.Unsigned(json(index), "cmos.bank2 register " + index, 0xFF));
        profile.cmosBank2[reg] = static_cast<uint8_t>(reader.Unsigned(byte, "cmos.bank2." + index, 0xFF));
      }
    }
  }
  if (document.contains("ec")) {
    const json &ec = document["ec"];
    reader.Object(ec, "ec", {"responsiveness", "busyAtStartUs", "deadAfterBytes", "answers"});
    if (ec.contains("responsiveness")) {
      const json &value = ec["responsiveness"];
      const std::string name = value.is_string() ? value.get<std::string>() : "";
      if (name == "normal") {
        profile.ecResponsiveness.mode = EcResponsiveness::Normal;
      } else if (name == "dead") {
        profile.ecResponsiveness.mode = EcResponsiveness::Dead;
      } else if (name == "mute") {
        profile.ecResponsiveness.mode = EcResponsiveness::Mute;
      } else {
        reader.Fail("ec.responsiveness", "one of \"normal\", \"dead\", \"mute\"", value);
      }
    }
    if (ec.contains("busyAtStartUs")) {
      profile.ecResponsiveness.busyAtStartUs = reader.Unsigned(ec["busyAtStartUs"], "ec.busyAtStartUs", 10000000);
    }
    if (ec.contains("deadAfterBytes")) {
      profile.ecResponsiveness.deadAfterBytes =
          static_cast<size_t>(reader.Unsigned(ec["deadAfterBytes"], "ec.deadAfterBytes", 1000000));
    }
    if (ec.contains("answers")) {
      const json &answers = ec["answers"];
      if (!answers.is_array()) reader.Fail("ec.answers", "an array of bytes", answers);
      profile.ecAnswers.clear();
      for (size_t index = 0; index < answers.size(); ++index) {
        profile.ecAnswers.push_back(
            static_cast<uint8_t>(reader.Unsigned(answers[index], "ec.answers[" + std::to_string(index) + "]", 0xFF)));
      }
    }
  }
  if (document.contains("variables")) ReadVariables(reader, document["variables"], profile);
  if (document.contains("flash")) ReadFlash(reader, document["flash"], profile);
  if (document.contains("faults")) ReadFaults(reader, document["faults"], profile);
  if (document.contains("sx")) ReadSx(reader, document["sx"], profile);
  if (document.contains("storage")) profile.storage = ReadStorage(reader, document["storage"]);
  return profile;
}

PlatformProfile LoadProfileFile(const std::string &path) {
  std::ifstream file(path);
  if (!file) throw ProfileError(path + ": cannot be read");
  std::stringstream text;
  text << file.rdbuf();
  json document;
  try {
    document = json::parse(text.str());
  } catch (const json::parse_error &error) {
    std::string what = error.what();
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
    const size_t at = what.find("] ");
    throw ProfileError(path + ": not valid JSON: " + (at == std::string::npos ? what : what.substr(at + 2)));
  }
  return ProfileFromJson(document, path);
}

}  // namespace sim
