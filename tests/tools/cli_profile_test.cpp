// The simulator driven through its command line with profile files, JSON reports and a
// persistent flash image.
#include <nlohmann/json.hpp>

#include "tests/tools/cli_run.h"
#include "tests/support/case_names.h"

namespace {

using cli_test::CliFixture;
using cli_test::CliResult;
using nlohmann::json;

using CliProfile = CliFixture;

// The events of the last run's power-event log.
std::vector<std::string> LogNames(const json &report) {
  std::vector<std::string> names;
  for (const json &entry : report["log"]["entries"]) names.push_back(entry["name"]);
  return names;
}

size_t Resets(const json &report) {
  size_t resets = 0;
  for (const json &effect : report["effects"]) resets += effect["kind"] == "reset";
  return resets;
}

TEST_F(CliProfile, AUsersProfileShapesTheRunAndTheJsonReportsIt) {
  // The clock, the controller's first answer and CMOS differ from the built-in board.
  cli_test::WriteText(Path("board.json"), R"({
    "name": "bench board",
    "rtc": {"time": "2031-12-31 23:59:30"},
    "ec": {"answers": ["0x80"]},
    "cmos": {"bank2": {"0x47": "0x03", "0x50": "0xAA", "0x70": "0x5A"}}
  })");
  const CliResult result = Run("--profile " + Path("board.json") + " --json run");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const json report = json::parse(result.out);
  EXPECT_EQ(report["platform"], "bench board");
  EXPECT_TRUE(report["ok"]);
  // The first boot resets to bring "PchSetup" in line; the second settles.
  EXPECT_EQ(Resets(report), 1u);
  EXPECT_EQ(LogNames(report), (std::vector<std::string>{"driver start", "driver start", "S3 entry", "S4 entry",
                                                        "driver start", "S5 entry"}));
  const json &log = report["log"]["entries"];
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0]["time"], "2031-12-31 23:59:30");
  EXPECT_EQ(log[3]["time"], "2032-01-01 00:00:35") << "the clock runs on into the new year";
  EXPECT_EQ(report["cmos"]["bank2"]["0x70"], "0x5A");
  // The built-in controller leaves the first extended command unacknowledged; this one
  // answers it at once.
  ASSERT_GE(report["ec"]["transactions"].size(), 2u);
  EXPECT_EQ(report["ec"]["transactions"][1]["command"], "0x9A");
  EXPECT_EQ(report["ec"]["transactions"][1]["answer"], "0x80");
  EXPECT_GT(report["flash"]["programs"].get<int>(), 0);
  EXPECT_FALSE(report["flash"]["operations"].empty());
  bool pchSetup = false;
  for (const json &variable : report["variables"]) pchSetup |= variable["name"] == "PchSetup";
  EXPECT_TRUE(pchSetup);
}

TEST_F(CliProfile, TheBuiltInProfileWrittenOutAndReadBackRunsTheSameStory) {
  const CliResult profile = Run("profile");
  ASSERT_EQ(profile.exitCode, 0) << profile.err;
  cli_test::WriteText(Path("default.json"), profile.out);
  const CliResult builtIn = Run("");
  const CliResult again = Run("run");
  const CliResult fromFile = Run("--profile " + Path("default.json") + " run");
  ASSERT_EQ(builtIn.exitCode, 0) << builtIn.err;
  ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
  // No host address in the report: the same profile prints the same text.
  EXPECT_EQ(builtIn.out, again.out);
  EXPECT_EQ(builtIn.out, fromFile.out);
}

TEST_F(CliProfile, TheHostEngineReportsTheSameTextOnEveryRun) {
  const CliResult first = Run("--engine host");
  const CliResult second = Run("--engine host");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out, second.out);
  EXPECT_NE(first.out.find("pointer variable PlatformConfigDxe+0x"), std::string::npos) << first.out;
}

TEST_F(CliProfile, APersistentFlashCarriesTheSetupAndTheLogAcrossRuns) {
  const std::string flash = "--flash " + Path("board.bin") + " --json ";
  const CliResult first = Run(flash + "boot 1");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  ASSERT_EQ(std::filesystem::file_size(Path("board.bin")), 16u << 20);
  const json one = json::parse(first.out);
  EXPECT_EQ(Resets(one), 1u) << "the first boot brings \"PchSetup\" in line";
  EXPECT_EQ(LogNames(one), (std::vector<std::string>{"driver start"}));

  const CliResult second = Run(flash + "boot 1");
  ASSERT_EQ(second.exitCode, 0) << second.err;
  const json two = json::parse(second.out);
  EXPECT_EQ(Resets(two), 0u) << "the stored \"PchSetup\" is already in line";
  EXPECT_EQ(LogNames(two), (std::vector<std::string>{"driver start", "driver start", "S5 entry"}));

  const CliResult third = Run(flash + "boot 2");
  ASSERT_EQ(third.exitCode, 0) << third.err;
  EXPECT_EQ(Resets(json::parse(third.out)), 0u);
  EXPECT_EQ(json::parse(third.out)["log"]["entries"].size(), 7u);
}

struct BadInput {
  std::string name;
  std::string profileText;  // written to bad.json when not empty
  std::string arguments;    // {dir} stands for the scratch directory
  std::string message;      // a part of what stderr must say
};
SIMTEST_PRINTS_CASE(BadInput)

class CliBadInput : public CliFixture, public ::testing::WithParamInterface<BadInput> {};

TEST_P(CliBadInput, IsAUsageErrorThatNamesTheProblemAndChangesNoFile) {
  const BadInput &c = GetParam();
  // A valid flash image to show it stays untouched.
  ASSERT_EQ(Run("--flash " + Path("flash.bin") + " boot 1").exitCode, 0);
  const std::string before = cli_test::ReadText(Path("flash.bin"));
  if (!c.profileText.empty()) cli_test::WriteText(Path("bad.json"), c.profileText);
  std::string arguments = c.arguments;
  for (size_t at = arguments.find("{dir}"); at != std::string::npos; at = arguments.find("{dir}")) {
    arguments.replace(at, 5, dir_.string());
  }
  const CliResult result = Run(arguments);
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  EXPECT_TRUE(result.out.empty()) << "nothing ran: " << result.out;
  EXPECT_TRUE(cli_test::ReadText(Path("flash.bin")) == before) << "the flash file changed";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CliBadInput,
    ::testing::Values(
        BadInput{"UnknownSubcommand", "", "--flash {dir}/flash.bin reboot", "reboot"},
        BadInput{"UnknownOption", "", "--flash {dir}/flash.bin --fast run", "--fast"},
        BadInput{"MalformedJson", R"({"name": "x",)", "--profile {dir}/bad.json --flash {dir}/flash.bin run",
                 "bad.json: not valid JSON"},
        BadInput{"WrongFieldType", R"({"rtc": {"time": 1700000000}})",
                 "--profile {dir}/bad.json --flash {dir}/flash.bin run",
                 "bad.json: field \"rtc.time\": expected a time \"YYYY-MM-DD HH:MM:SS\""},
        BadInput{"WrongFieldTypeDeep",
                 R"({"variables": [{"name": "Setup", "guid": "SetupVariable", "attributes": true, "data": "00"}]})",
                 "--profile {dir}/bad.json --flash {dir}/flash.bin run", "field \"variables[0].attributes\": expected"},
        BadInput{"UnknownField", R"({"flash": {"parts": "spi"}})",
                 "--profile {dir}/bad.json --flash {dir}/flash.bin run", "field \"flash.parts\": unknown field"},
        BadInput{"RecordOfWrongSize", R"({"flash": {"records": {"PLOG": "4B 4F"}}})",
                 "--profile {dir}/bad.json --flash {dir}/flash.bin run",
                 "field \"flash.records.PLOG\": expected exactly 512 bytes"},
        BadInput{"TimingOfWrongType", R"({"flash": {"timings": {"pageProgramUs": "fast"}}})",
                 "--profile {dir}/bad.json --flash {dir}/flash.bin run",
                 "field \"flash.timings.pageProgramUs\": expected"},
        BadInput{"CandidateTokenTwice",
                 R"({"flash": {"candidates": [{"token": 1, "descriptor": "00", "commandData": "00", "firstName": "A",
                     "secondName": "B"}, {"token": 1, "descriptor": "00", "commandData": "00", "firstName": "C",
                     "secondName": "D"}]}})",
                 "--profile {dir}/bad.json --flash {dir}/flash.bin run",
                 "field \"flash.candidates[1].token\": expected"},
        BadInput{"SfdpWithoutSpiPart", R"({"flash": {"part": "firmware-hub", "sfdp": "53 46 44 50"}})",
                 "--profile {dir}/bad.json --flash {dir}/flash.bin run",
                 "field \"flash.sfdp\": expected no SFDP table"},
        BadInput{"SxStateUnknown", R"({"sx": {"refused": [{"state": "S7"}]}})",
                 "--profile {dir}/bad.json --flash {dir}/flash.bin run", "field \"sx.refused[0].state\": expected"},
        BadInput{"MissingProfile", "", "--profile {dir}/none.json --flash {dir}/flash.bin run",
                 "none.json: cannot be read"},
        BadInput{"BadSleepState", "", "--flash {dir}/flash.bin sleep S2", "S2"},
        BadInput{"MissingImageDirectory", "", "--image-dir {dir}/nowhere --flash {dir}/flash.bin run",
                 "no such directory"}),
    simtest::CaseName<BadInput>);

}  // namespace
