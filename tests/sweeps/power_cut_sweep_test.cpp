// Power cuts: for every flush a scenario performs, the power fails after each flash
// command in turn (and half-way through it), the platform boots again, and the sweep
// records what the cut lost: which records no longer hold either their old or their new
// content, and how many bytes.
//
// PlatformConfigDxe and DiskInfoSetupDxe never write the flash; their scenarios are
// checked to issue no flash command at all. The power-event log's scenarios write
// "PLOG" at the start and at the sleep entry: every command of each write is cut in
// turn, and the log may lose at most the event being written. The flushes of the
// erase path come from the tag store as the SMM deliverable carries it (the tag-store
// probe), on each kind of flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/power_event_log/log_fixture.h"
#include "tests/sweeps/case_cache.h"
#include "tests/sweeps/scenarios.h"
#include "tests/tagstore/tag_store_fixture.h"
#include "tests/support/case_names.h"

namespace {

using tagtest::Flash;

bool WritesFlash(const sweep::Scenario &scenario) { return std::string(scenario.image) == "PowerEventLogSmm"; }

TEST(PowerCutSweep, ScenariosOfReadOnlyImagesIssueNoFlashCommand) {
  for (const sweep::Scenario &scenario : sweep::Scenarios()) {
    if (WritesFlash(scenario)) continue;
    SCOPED_TRACE(scenario.name);
    sim::Platform platform(scenario.profile());
    scenario.run(platform, scenario.image);
    EXPECT_EQ(platform.Flash().Monitor().Erases() + platform.Flash().Monitor().Programs(), 0u);
  }
}

struct Record {
  const char *name;
  uint32_t offset;
  uint32_t size;
};
const Record kRecords[] = {{"CNFG", 0x0000, 256},  {"MFG0", 0x0100, 256}, {"SLP2", 0x0200, 512},
                           {"OEM2", 0x0400, 512},  {"SLP3", 0x0600, 512}, {"OEM5", 0x0800, 512},
                           {"_DMI", 0x0A00, 2048}, {"CNF1", 0x1200, 256}, {"PLOG", 0x1300, 512}};
constexpr size_t kSpan = 5376;

// The flush of the SMM driver's typical event: a new "PLOG" record.
std::vector<uint8_t> NewLog() {
  std::vector<uint8_t> log(512, 0xFF);
  const char signature[] = "KOVAPLOG";
  std::copy(signature, signature + 8, log.begin());
  for (size_t index = 16; index < 64; ++index) log[index] = static_cast<uint8_t>(index * 3);
  return log;
}

// Boots the platform, loads the probe and writes the record; the flash commands
// issued so far are returned (the flush's commands follow them).
uint64_t Prepare(sim::Platform &platform, Flash flash, TAG_STORE_PROBE *&probe) {
  probe = tagtest::LoadProbe(platform, tagtest::RunsInSmm(flash));
  // The erase path: the one a cut can lose records on (a flush that only clears bits
  // programs in place and has its own power-cut tests).
  tagtest::ForceEraseOnNextLogFlush(platform, probe);
  UINT64 size = 0;
  std::vector<uint8_t> log = NewLog();
  EXPECT_TRUE(simtest::Call(probe->Write, tagtest::kPlog, &size, log.data()));
  return platform.Flash().Monitor().Erases() + platform.Flash().Monitor().Programs();
}

struct Loss {
  std::vector<std::string> records;
  size_t bytes = 0;
};

// Bytes of the record span that hold neither what the block held before the flush nor
// what the flush meant to write.
Loss Compare(const std::vector<uint8_t> &before, const std::vector<uint8_t> &intended,
             const std::vector<uint8_t> &after) {
  Loss loss;
  for (const Record &record : kRecords) {
    size_t lost = 0;
    for (size_t index = record.offset; index < record.offset + record.size; ++index) {
      if (after[index] != before[index] && after[index] != intended[index]) ++lost;
    }
    if (lost != 0) loss.records.push_back(record.name);
    loss.bytes += lost;
  }
  return loss;
}

// Records come back in table order after the erase: those before the cut are whole,
// the one the cut fell in and every later one may be lost (erased, or still their old
// content when the cut came before the erase), no others. The count of whole records.
size_t CheckTableOrder(const std::vector<uint8_t> &before, const std::vector<uint8_t> &intended,
                       const std::vector<uint8_t> &after) {
  size_t intact = 0;
  while (intact < std::size(kRecords) && std::equal(after.begin() + kRecords[intact].offset,
                                                    after.begin() + kRecords[intact].offset + kRecords[intact].size,
                                                    intended.begin() + kRecords[intact].offset)) {
    ++intact;
  }
  for (size_t index = intact + 1; index < std::size(kRecords); ++index) {
    for (size_t byte = kRecords[index].offset; byte < kRecords[index].offset + kRecords[index].size; ++byte) {
      if (after[byte] != 0xFF && after[byte] != before[byte]) {
        ADD_FAILURE() << kRecords[index].name << " byte " << byte - kRecords[index].offset
                      << " holds something the flush never wrote";
        break;
      }
    }
  }
  return intact;
}

// Each flash's cuts run in two halves, each its own test: on the emulated engine a
// byte-programmed part's whole sweep takes minutes.
struct FlushCuts {
  Flash flash;
  int half;  // 0: the first half of the cut points, 1: the rest
};
std::string NameOf(const FlushCuts &c) {
  return std::string(tagtest::FlashName(c.flash)) + (c.half == 0 ? "_FirstHalf" : "_SecondHalf");
}
SIMTEST_PRINTS_CASE(FlushCuts)

class PowerCutSweep : public ::testing::TestWithParam<FlushCuts> {};

TEST_P(PowerCutSweep, EveryCutLosesAtMostTheRecordsNotYetWrittenBack) {
  const Flash flash = GetParam().flash;
  const uint64_t base = tagtest::kBase;

  // The fault-free flush: its command count and the block it leaves.
  std::vector<uint8_t> before;
  std::vector<uint8_t> intended;
  uint64_t commands = 0;
  {
    sim::Platform platform(tagtest::FlashPlatform(flash));
    TAG_STORE_PROBE *probe = nullptr;
    uint64_t issued = Prepare(platform, flash, probe);
    before = platform.Flash().Peek(base, kSpan);
    bool flushed = simtest::Call(probe->Flush);
    commands = platform.Flash().Monitor().Erases() + platform.Flash().Monitor().Programs() - issued;
    intended = platform.Flash().Peek(base, kSpan);
    if (flash == Flash::FirmwareHub) {
      // The 64-KiB erase unit refuses the 8-KiB span: no command, nothing to cut.
      EXPECT_EQ(commands, 0u);
      EXPECT_EQ(intended, before);
      return;
    }
    ASSERT_TRUE(flushed);
    ASSERT_GT(commands, 0u);
  }

  std::printf("power cuts on %s flash: %llu commands per flush\n", tagtest::FlashName(flash),
              static_cast<unsigned long long>(commands));
  // A byte-programmed part takes thousands of commands per flush: there the sweep cuts
  // after each erase and at forty points spread over the programs, the last included.
  std::vector<uint64_t> cuts;
  for (uint64_t cut = 1; cut <= commands; ++cut) {
    if (commands <= 64 || cut <= 4 || cut % (commands / 40) == 0 || cut == commands) cuts.push_back(cut);
  }

  // One cut: the records left whole, and the loss.
  auto cutAt = [&](uint64_t cut, bool during, Loss &loss) -> size_t {
    sim::Platform platform(tagtest::FlashPlatform(flash));
    TAG_STORE_PROBE *probe = nullptr;
    uint64_t issued = Prepare(platform, flash, probe);
    if (during) {
      platform.Flash().Faults().powerCutDuring = issued + cut;
    } else {
      platform.Flash().Faults().powerCutAfter = issued + cut;
    }
    bool cutHappened = false;
    try {
      simtest::Call(probe->Flush);
    } catch (const sim::PlatformReset &reset) {
      cutHappened = reset.powerCut;
    }
    EXPECT_TRUE(cutHappened);
    platform.Reboot();
    std::vector<uint8_t> after = platform.Flash().Peek(base, kSpan);
    loss = Compare(before, intended, after);
    return CheckTableOrder(before, intended, after);
  };

  const size_t middle = (cuts.size() + 1) / 2;
  const size_t first = GetParam().half == 0 ? 0 : middle;
  const size_t last = GetParam().half == 0 ? middle : cuts.size();
  // The second half starts from the records the last cut of the first half left whole.
  size_t previousIntact = 0;
  if (first > 0) {
    Loss reference;
    previousIntact = cutAt(cuts[first - 1], false, reference);
  }
  for (size_t index = first; index < last; ++index) {
    const uint64_t cut = cuts[index];
    for (bool during : {false, true}) {
      SCOPED_TRACE(std::string(during ? "during" : "after") + " command " + std::to_string(cut));
      Loss loss;
      const size_t intact = cutAt(cut, during, loss);
      if (!during) {
        EXPECT_GE(intact, previousIntact) << "a later cut never loses more records";
        previousIntact = intact;
      }
      if (cut == commands && !during) {
        EXPECT_EQ(loss.bytes, 0u) << "a cut after the last command loses nothing";
      }
      EXPECT_LE(loss.bytes, kSpan);
      std::string lost;
      for (const std::string &name : loss.records) lost += (lost.empty() ? "" : ",") + name;
      std::printf("  cut %-6s command %2llu: %zu bytes lost in %s\n", during ? "during" : "after",
                  static_cast<unsigned long long>(cut), loss.bytes, lost.empty() ? "no record" : lost.c_str());
    }
  }
}

std::vector<FlushCuts> FlushCutCases() {
  std::vector<FlushCuts> cases;
  for (Flash flash : {Flash::SpiBoot, Flash::SpiSmmRegion, Flash::Parallel, Flash::FirmwareHub}) {
    for (int half : {0, 1}) cases.push_back({flash, half});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Flashes, PowerCutSweep, ::testing::ValuesIn(FlushCutCases()), simtest::CaseName<FlushCuts>);

// The log's writes: each command of each phase that writes is cut in turn (after it,
// and half-way through it), the platform boots again, and what "PLOG" lost is counted.
struct LogCut {
  const sweep::Scenario *scenario;
  std::string phase;
  uint64_t cut;  // 1-based command of the phase
  bool during;
};

// The fault-free run: the span before each phase and after it, and each phase's commands.
struct LogRun {
  sweep::Outcome outcome;
  std::map<std::string, std::pair<uint64_t, uint64_t>> commands;  // phase -> (first, last), absolute
};

LogRun RunLog(const sweep::Scenario &scenario, bool onHost) {
  sim::PlatformProfile profile = scenario.profile();
  if (onHost) profile.engine = sim::Engine::Host;
  sim::Platform platform(profile);
  LogRun run;
  run.outcome = scenario.run(platform, scenario.image);
  uint64_t issued = 0;
  for (const sweep::Outcome::Phase &phase : run.outcome.phases) {
    if (phase.flashCommands > issued) run.commands[phase.name] = {issued + 1, phase.flashCommands};
    issued = phase.flashCommands;
  }
  return run;
}

// This engine's fault-free run, once per process.
const LogRun &FaultFree(const sweep::Scenario &scenario) {
  static std::map<std::string, LogRun> runs;
  auto found = runs.find(scenario.name);
  if (found != runs.end()) return found->second;
  return runs.emplace(scenario.name, RunLog(scenario, false)).first->second;
}

std::vector<LogCut> LogCuts() {
  // Counted on the host engine (once per build, case_cache.h); each test checks its own
  // engine issues the same commands. One line per phase: scenario, phase, commands.
  std::istringstream lines(sweep::CachedCaseList("log_cuts", [] {
    std::string text;
    for (const sweep::Scenario &scenario : sweep::Scenarios()) {
      if (!WritesFlash(scenario)) continue;
      for (const auto &[phase, range] : RunLog(scenario, true).commands) {
        text +=
            std::string(scenario.name) + "\t" + phase + "\t" + std::to_string(range.second - range.first + 1) + "\n";
      }
    }
    return text;
  }));
  std::vector<LogCut> cuts;
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string name, phase, count;
    std::getline(fields, name, '\t');
    std::getline(fields, phase, '\t');
    std::getline(fields, count);
    for (const sweep::Scenario &scenario : sweep::Scenarios()) {
      if (name != scenario.name) continue;
      for (uint64_t cut = 1; cut <= std::stoull(count); ++cut) {
        for (bool during : {false, true}) cuts.push_back({&scenario, phase, cut, during});
      }
    }
  }
  return cuts;
}

std::string NameOf(const LogCut &c) {
  std::string phase = c.phase;
  phase.erase(std::remove(phase.begin(), phase.end(), ' '), phase.end());
  return std::string(c.scenario->name) + "_" + phase + (c.during ? "_During" : "_After") + "Command" +
         std::to_string(c.cut);
}
SIMTEST_PRINTS_CASE(LogCut)

class LogPowerCut : public ::testing::TestWithParam<LogCut> {};

TEST_P(LogPowerCut, LosesAtMostTheEventBeingWritten) {
  const LogCut &c = GetParam();
  const sweep::Scenario &scenario = *c.scenario;
  ASSERT_EQ(FaultFree(scenario).commands, RunLog(scenario, true).commands) << "the same flash commands on this engine";
  const uint64_t first = FaultFree(scenario).commands.at(c.phase).first;

  // The span just before the phase's first command and just after its last, from twins
  // cut there.
  auto spanAt = [&](uint64_t commands) {
    sim::Platform twin(scenario.profile());
    if (commands == 0) return logtest::Span(twin);
    twin.Flash().Faults().powerCutAfter = commands;
    scenario.run(twin, scenario.image);
    twin.Reboot();
    return logtest::Span(twin);
  };
  static std::map<std::pair<std::string, std::string>, std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> spans;
  auto &[before, intended] = spans[{scenario.name, c.phase}];
  if (before.empty()) {
    before = spanAt(first - 1);
    intended = spanAt(FaultFree(scenario).commands.at(c.phase).second);
  }

  sim::Platform platform(scenario.profile());
  if (c.during) {
    platform.Flash().Faults().powerCutDuring = first - 1 + c.cut;
  } else {
    platform.Flash().Faults().powerCutAfter = first - 1 + c.cut;
  }
  sweep::Outcome outcome = scenario.run(platform, scenario.image);
  ASSERT_TRUE(outcome.reset) << "the power failed";
  platform.Reboot();
  std::vector<uint8_t> after = logtest::Span(platform);

  size_t lost = 0;
  for (size_t offset = 0; offset < after.size(); ++offset) {
    if (after[offset] != before[offset] && after[offset] != intended[offset]) ++lost;
  }
  constexpr size_t kLog = 0x1300;
  PowerEventLogRecord was, meant, now;
  std::memcpy(&was, before.data() + kLog, sizeof(was));
  std::memcpy(&meant, intended.data() + kLog, sizeof(meant));
  std::memcpy(&now, after.data() + kLog, sizeof(now));
  // An append that only clears bits is programmed in place; one that must set bits (a
  // slot that is not erased) makes the flush erase the block and write every record back.
  bool erasePath = false;
  for (size_t offset = 0; offset < kSpan; ++offset) erasePath |= (intended[offset] & ~before[offset]) != 0;

  std::string records;
  for (const Record &record : kRecords) {
    if (!std::equal(after.begin() + record.offset, after.begin() + record.offset + record.size,
                    before.begin() + record.offset) &&
        !std::equal(after.begin() + record.offset, after.begin() + record.offset + record.size,
                    intended.begin() + record.offset)) {
      records += std::string(records.empty() ? "" : ",") + record.name;
    }
  }
  std::printf("%s / %s, cut %s command %llu: %zu bytes lost in %s%s\n", scenario.name, c.phase.c_str(),
              c.during ? "during" : "after", static_cast<unsigned long long>(c.cut), lost,
              records.empty() ? "no record" : records.c_str(),
              now.FreeMap == meant.FreeMap || erasePath ? "" : ", the event not logged");
  for (size_t offset = kSpan; offset < after.size(); ++offset) {
    ASSERT_EQ(after[offset], before[offset]) << "offset 0x" << std::hex << offset << " past the records";
  }
  if (erasePath) {
    // The tag store's own bound: records written back in table order, none corrupted.
    // The log's promise does not hold here (see the fault table): the cut can take
    // records that were never written, the manufacturing record among them.
    CheckTableOrder(before, intended, after);
    return;
  }

  // Programmed in place: nothing outside "PLOG" changes; inside it only the free map's
  // bit and the slot of the event being written may hold something in between.
  for (size_t offset = 0; offset < kSpan; ++offset) {
    if (offset >= kLog && offset < kLog + sizeof(PowerEventLogRecord)) continue;
    ASSERT_EQ(after[offset], before[offset]) << "offset 0x" << std::hex << offset << " outside \"PLOG\"";
  }
  EXPECT_EQ(now.Signature, POWER_EVENT_LOG_SIGNATURE);
  const UINT32 slot = PowerEventLogNextSlot(was.FreeMap);
  ASSERT_LT(slot, POWER_EVENT_LOG_SLOTS);
  EXPECT_TRUE(now.FreeMap == was.FreeMap || now.FreeMap == meant.FreeMap) << std::hex << now.FreeMap;
  for (UINT32 index = 0; index < POWER_EVENT_LOG_SLOTS; ++index) {
    if (index == slot) continue;
    ASSERT_EQ(logtest::SlotBytes(now, index), logtest::SlotBytes(was, index)) << "slot " << index;
  }
  EXPECT_LE(lost, sizeof(PowerEventSlot) + sizeof(UINT64)) << "at most the slot and the free map";

  // The next boot logs on, in the slot after the highest one used.
  ASSERT_EQ(logtest::LoadDriver(platform).entryStatus, EFI_SUCCESS);
  PowerEventLogRecord next = logtest::ReadLog(platform);
  EXPECT_EQ(next.FreeMap, now.FreeMap & ~(1ull << PowerEventLogNextSlot(now.FreeMap)));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, LogPowerCut, ::testing::ValuesIn(LogCuts()), simtest::CaseName<LogCut>);

}  // namespace
