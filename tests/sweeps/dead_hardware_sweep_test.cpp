// Dead hardware: every scenario runs against each device that stops answering and must
// end within a bounded virtual time, with the statuses the driver gives for that case.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/uefi/status.h"
#include "tests/sweeps/scenarios.h"
#include "tests/tagstore/tag_store_fixture.h"
#include "tests/support/case_names.h"

namespace {

struct Fault {
  const char *name;
  void (*apply)(sim::PlatformProfile &profile);
  bool controllerGone;                             // the embedded controller stops before the sequence ends
  void (*arm)(sim::Platform &platform) = nullptr;  // a switch of the built platform
};

// One line per fault.
const std::vector<Fault> &Faults() {
  static const std::vector<Fault> faults = {
      {"EcDead", [](sim::PlatformProfile &p) { p.ecResponsiveness = sim::EcResponsiveness::Dead; }, true},
      {"EcMute", [](sim::PlatformProfile &p) { p.ecResponsiveness = sim::EcResponsiveness::Mute; }, true},
      {"EcDeadAfter1Byte", [](sim::PlatformProfile &p) { p.ecResponsiveness.deadAfterBytes = 1; }, true},
      {"EcDeadAfter4Bytes", [](sim::PlatformProfile &p) { p.ecResponsiveness.deadAfterBytes = 4; }, true},
      {"EcDeadAfter11Bytes", [](sim::PlatformProfile &p) { p.ecResponsiveness.deadAfterBytes = 11; }, true},
      {"EcDeadAfter19Bytes", [](sim::PlatformProfile &p) { p.ecResponsiveness.deadAfterBytes = 19; }, true},
      {"EcBusyAtStart", [](sim::PlatformProfile &p) { p.ecResponsiveness.busyAtStartUs = 20000; }, false},
      {"PitOutputNeverSet", [](sim::PlatformProfile &p) { p.pitStuck = true; }, false},
      {"FlashStuckBusy", [](sim::PlatformProfile &p) { p.flash.faults.stuckBusy = true; }, false},
      {"FlashEraseFails", [](sim::PlatformProfile &p) { p.flash.faults.failEveryErase = true; }, false},
      {"FlashProgramFails", [](sim::PlatformProfile &p) { p.flash.faults.failEveryProgram = true; }, false},
      {"FlashWorstCaseTimes", [](sim::PlatformProfile &p) { p.flash.faults.worstCaseTimes = true; }, false},
      {"SpiControllerAbsent", [](sim::PlatformProfile &p) { p.flash.kind = sim::FlashPartKind::None; }, false},
      {"SpiBarAllOnes", [](sim::PlatformProfile &p) { p.flash.spiBarAllOnes = true; }, false},
      {"TraceHubAbsent", [](sim::PlatformProfile &p) { p.traceHubPresent = false; }, false},
      {"PmcAbsent", [](sim::PlatformProfile &p) { p.pmcPresent = false; }, false},
      {"RtcUpdateStuck", [](sim::PlatformProfile &p) { p.rtcUpdateStuck = true; }, false},
      {"SmmCommunicationFails", [](sim::PlatformProfile &) {}, false,
       [](sim::Platform &platform) { platform.Core().Communication().FailWith(EFI_DEVICE_ERROR); }},
      {"SmiNeverDispatched", [](sim::PlatformProfile &) {}, false,
       [](sim::Platform &platform) { platform.Core().Smm().SetSmiLost(true); }},
  };
  return faults;
}

// Virtual time a scenario may take on dead hardware: every wait of the drivers is
// bounded well below this. The longest is a flush on a part stuck busy, which waits out
// the erase timeout; a log scenario flushes twice (start and sleep entry).
constexpr uint64_t kBoundPs = 30ull * 1000000000000ull;  // 30 s

struct Case {
  const sweep::Scenario *scenario;
  const Fault *fault;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const sweep::Scenario &scenario : sweep::Scenarios()) {
    for (const Fault &fault : Faults()) cases.push_back({&scenario, &fault});
  }
  return cases;
}

std::string NameOf(const Case &c) { return std::string(c.scenario->name) + "_" + c.fault->name; }
SIMTEST_PRINTS_CASE(Case)

class DeadHardwareSweep : public ::testing::TestWithParam<Case> {};

TEST_P(DeadHardwareSweep, EndsInBoundedTimeWithTheDriversStatuses) {
  const sweep::Scenario &scenario = *GetParam().scenario;
  const Fault &fault = *GetParam().fault;
  sim::PlatformProfile profile = scenario.profile();
  fault.apply(profile);
  sim::Platform platform(profile);
  if (fault.arm != nullptr) fault.arm(platform);
  uint64_t start = platform.Processor().NowPs();
  sweep::Outcome outcome = scenario.run(platform, scenario.image);
  uint64_t elapsed = platform.Processor().NowPs() - start;
  EXPECT_LT(elapsed, kBoundPs) << "virtual time " << elapsed / 1000000000ull << " ms";
  EXPECT_FALSE(outcome.reset);
  std::string statuses;
  for (const auto &[step, status] : outcome.steps)
    statuses += " " + step + "=0x" + [](EFI_STATUS s) {
      char text[20];
      std::snprintf(text, sizeof(text), "%llX", static_cast<unsigned long long>(s));
      return std::string(text);
    }(status);
  std::printf("%s / %s: %.1f ms virtual,%s\n", scenario.name, fault.name, elapsed / 1e9, statuses.c_str());

  // No dead device stops a driver from starting or its other operations from
  // succeeding. Only the controller's own sequence reports that it stopped; the log
  // writer without a flash controller finds no log; a flash write that fails is not
  // the log writer's to report (the slot stays in the cache for the next flush); a
  // stuck RTC costs the bounded wait and is read all the same; an SMI that never comes
  // runs no handler.
  const std::string image = scenario.image;
  const std::string name = fault.name;
  for (const auto &[step, status] : outcome.steps) {
    EFI_STATUS due = EFI_SUCCESS;
    if (step == "signal" && fault.controllerGone) due = EFI_TIMEOUT;
    if (step == "S3" && name == "SpiControllerAbsent") due = EFI_NOT_READY;
    EXPECT_EQ(status, due) << step;
  }
  EXPECT_FALSE(outcome.steps.empty());
  if (name == "SmmCommunicationFails") {
    // The ready-to-lock point sends the boot script's lock boxes: each is refused.
    const auto &requests = platform.Core().Communication().Requests();
    if (std::string(scenario.name) == "PlatformConfigEntry") EXPECT_FALSE(requests.empty());
    for (const sim::CommunicationRequest &request : requests) EXPECT_EQ(request.status, EFI_DEVICE_ERROR);
  }
  if (image == "PowerEventLogSmm") {
    // Without the PMC no write of SLP_EN raises the SMI either.
    EXPECT_EQ(outcome.Status("S3") != nullptr, name != "SmiNeverDispatched" && name != "PmcAbsent")
        << "the S3 handler ran";
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DeadHardwareSweep, ::testing::ValuesIn(Cases()), simtest::CaseName<Case>);

}  // namespace

// The same dead flash under the tag store's flush (as the SMM deliverable carries it):
// the flush ends in bounded time, and whatever it reports, a record the flash does not
// hold stays dirty, so a later flush writes it again.
namespace {

struct FlushCase {
  tagtest::Flash flash;
  const char *fault;
  void (*apply)(sim::FlashFaults &faults);
};
std::string NameOf(const FlushCase &c) { return std::string(tagtest::FlashName(c.flash)) + "_" + c.fault; }
SIMTEST_PRINTS_CASE(FlushCase)

std::vector<FlushCase> FlushCases() {
  std::vector<FlushCase> cases;
  for (tagtest::Flash flash :
       {tagtest::Flash::SpiBoot, tagtest::Flash::SpiSmmRegion, tagtest::Flash::Parallel, tagtest::Flash::FirmwareHub}) {
    cases.push_back({flash, "StuckBusy", [](sim::FlashFaults &f) { f.stuckBusy = true; }});
    cases.push_back({flash, "EraseFails", [](sim::FlashFaults &f) { f.failEveryErase = true; }});
    cases.push_back({flash, "ProgramFails", [](sim::FlashFaults &f) { f.failEveryProgram = true; }});
  }
  return cases;
}

class DeadFlashFlush : public ::testing::TestWithParam<FlushCase> {};

TEST_P(DeadFlashFlush, EndsInBoundedTimeAndKeepsEveryUnwrittenRecordDirty) {
  const FlushCase &c = GetParam();
  sim::Platform platform(tagtest::FlashPlatform(c.flash));
  TAG_STORE_PROBE *probe = tagtest::LoadProbe(platform, tagtest::RunsInSmm(c.flash));
  // The erase path, where a dead flash can lose records (a flush that only clears bits
  // programs in place and has its own tests).
  tagtest::ForceEraseOnNextLogFlush(platform, probe);
  std::vector<uint8_t> log(512, 0x42);
  UINT64 size = 0;
  ASSERT_TRUE(simtest::Call(probe->Write, tagtest::kPlog, &size, log.data()));
  c.apply(platform.Flash().Faults());
  uint64_t start = platform.Processor().NowPs();
  BOOLEAN flushed = simtest::Call(probe->Flush);
  uint64_t elapsed = platform.Processor().NowPs() - start;
  EXPECT_LT(elapsed, kBoundPs) << "virtual time " << elapsed / 1000000000ull << " ms";
  std::printf("flush on %s / %s: %.1f ms virtual, flush %s\n", tagtest::FlashName(c.flash), c.fault, elapsed / 1e9,
              flushed ? "TRUE" : "FALSE");

  // A flush rewrites every record once any is dirty: a record the flash lost is safe
  // as long as some entry is still dirty.
  TagStoreEntry *table = simtest::Call(probe->Table);
  std::vector<size_t> lost;
  bool anyDirty = false;
  for (size_t index = 0; table[index].Tag != TAG_STORE_TERMINATOR; ++index) {
    const TagStoreEntry &entry = table[index];
    auto flash = platform.Flash().Peek(tagtest::kBase + entry.Offset, entry.Size);
    if (!std::equal(flash.begin(), flash.end(), static_cast<const uint8_t *>(entry.Cache))) lost.push_back(index);
    anyDirty |= entry.Dirty == 1;
  }
  if (!lost.empty()) {
    EXPECT_TRUE(anyDirty) << lost.size() << " records not in the flash and nothing left dirty";
  }
  // An erase the store learns about (refused, or failed on SPI) fails the flush.
  bool spi = c.flash == tagtest::Flash::SpiBoot || c.flash == tagtest::Flash::SpiSmmRegion;
  if (c.flash == tagtest::Flash::FirmwareHub || (spi && std::string(c.fault) != "ProgramFails")) {
    EXPECT_EQ(flushed, FALSE);
  }
  if (flushed == TRUE) {
    EXPECT_EQ(lost.empty(), !anyDirty) << "a reported flush leaves dirty exactly what it could not write";
  }
}

INSTANTIATE_TEST_SUITE_P(Flashes, DeadFlashFlush, ::testing::ValuesIn(FlushCases()), simtest::CaseName<FlushCase>);

}  // namespace
