// The flash candidate table, the SPI part's SFDP table, the flash busy times and the Sx
// dispatcher's refusals as profile fields: written by "profile", read back the same,
// and each shaping the run.
#include <nlohmann/json.hpp>

#include <functional>

#include "platform_sim/platform.h"
#include "platform_sim/profile/profile_json.h"
#include "tests/tools/cli_run.h"
#include "tests/support/case_names.h"

namespace {

using cli_test::CliFixture;
using cli_test::CliResult;
using nlohmann::json;

using CliProfileFields = CliFixture;

// Every new field away from the default's value.
constexpr const char *kBoard = R"({
  "name": "bench board",
  "flash": {
    "timings": {"sectorEraseUs": 50000, "pageProgramUs": 900, "pageProgramMaxUs": 5000},
    "sfdp": "53 46 44 50 06 01 00 FF 00 06 01 02 30 00 00 FF",
    "candidates": [
      {"token": "0x11", "descriptor": "03 00 00 00 EF 40 18 00 00 00 00 00 10 00 00 10",
       "commandData": {"size": 64, "patches": [{"offset": 4, "hex": "02 20 03 0B 06 05 01 9F D8 C7 04 5A"}]},
       "firstName": "MY25Q128", "secondName": "Bench Parts"}
    ],
    "chosenToken": "0x11"
  },
  "faults": {"flash": {"powerCutDuring": 7, "worstCaseTimes": true}},
  "sx": {"refused": [{"state": "S1"}, {"state": "S5", "phase": "exit"}]}
})";

TEST_F(CliProfileFields, WhatProfilePrintsReadsBackAsTheSameProfile) {
  const std::string printed = RoundTripProfile(kBoard);
  ASSERT_FALSE(HasFailure());

  // And it holds what the board said, not the default's values.
  const json profile = json::parse(printed);
  EXPECT_EQ(profile["flash"]["timings"]["sectorEraseUs"], 50000);
  EXPECT_EQ(profile["flash"]["timings"]["pageProgramMaxUs"], 5000);
  EXPECT_EQ(profile["flash"]["sfdp"], "53 46 44 50 06 01 00 FF 00 06 01 02 30 00 00 FF");
  ASSERT_EQ(profile["flash"]["candidates"].size(), 1u);
  EXPECT_EQ(profile["flash"]["candidates"][0]["token"], "0x11");
  EXPECT_EQ(profile["flash"]["candidates"][0]["firstName"], "MY25Q128");
  EXPECT_EQ(profile["flash"]["chosenToken"], "0x11");
  EXPECT_EQ(profile["faults"]["flash"]["powerCutDuring"], 7);
  EXPECT_EQ(profile["sx"]["refused"], json::parse(R"([{"state": "S1", "phase": "entry"}, {"state": "S1",
            "phase": "exit"}, {"state": "S5", "phase": "exit"}])"));
}

struct FieldEffect {
  std::string name;
  std::string profile;
  std::function<void(const json &report)> check;
};
SIMTEST_PRINTS_CASE(FieldEffect)

class CliProfileField : public CliFixture, public ::testing::WithParamInterface<FieldEffect> {};

TEST_P(CliProfileField, ShapesTheRun) {
  cli_test::WriteText(Path("board.json"), GetParam().profile);
  const CliResult result = Run("--profile " + Path("board.json") + " --engine host --json run");
  ASSERT_NE(result.out, "") << result.err;
  GetParam().check(json::parse(result.out));
}

std::vector<std::string> LogTimes(const json &report) {
  std::vector<std::string> times;
  for (const json &entry : report["log"]["entries"]) times.push_back(entry["time"]);
  return times;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CliProfileField,
    ::testing::Values(
        // The drivers choose from the table the profile gives: the same part under
        // another name is chosen by that name.
        FieldEffect{"Candidates",
                    R"({"flash": {"candidates": [{"token": "0x11",
                        "descriptor": "03 00 00 00 EF 40 18 00 00 00 00 00 10 00 00 10",
                        "commandData": {"size": 64, "patches": [{"offset": 4, "hex":
                          "02 20 03 0B 06 05 01 9F D8 C7 04 5A 01 00 01 01 03 02 01 00 00 01 00 00 00 00 00 00 00 10 00 00 00 01"}]},
                        "firstName": "MY25Q128", "secondName": "Bench Parts"}]}})",
                    [](const json &report) {
                      EXPECT_TRUE(report["ok"]);
                      EXPECT_EQ(report["flash"]["chosen"]["token"], 0x11);
                      EXPECT_EQ(report["flash"]["chosen"]["firstName"], "MY25Q128");
                      EXPECT_EQ(report["flash"]["chosen"]["secondName"], "Bench Parts");
                    }},
        // Each page program of the log's writes now takes two seconds of the clock.
        FieldEffect{"Timings", R"({"flash": {"timings": {"pageProgramUs": 2000000, "pageProgramMaxUs": 3000000}}})",
                    [](const json &report) {
                      EXPECT_TRUE(report["ok"]);
                      const std::vector<std::string> times = LogTimes(report);
                      ASSERT_EQ(times.size(), 6u);
                      EXPECT_EQ(times[0], "2026-03-14 09:26:53");
                      EXPECT_GT(times[1], "2026-03-14 09:26:53") << "the first record took seconds to program";
                    }},
        // A dispatcher that refuses S3 registrations: the log driver cannot watch S3,
        // gives up at its entry and logs nothing.
        FieldEffect{"SxRefused", R"({"sx": {"refused": [{"state": "S3"}]}})",
                    [](const json &report) {
                      bool found = false;
                      for (const json &image : report["images"]) {
                        if (image["name"] != "PowerEventLogSmm") continue;
                        found = true;
                        EXPECT_EQ(image["entry"], "EFI_UNSUPPORTED");
                        EXPECT_TRUE(image["unloaded"]);
                      }
                      EXPECT_TRUE(found);
                      EXPECT_TRUE(report["log"]["entries"].empty());
                      for (const json &registration : report["sx"]) EXPECT_NE(registration["state"], "S3");
                    }}),
    simtest::CaseName<FieldEffect>);

// The SPI part answers SFDP reads with the table the profile gives.
TEST(ProfileSfdp, IsWhatTheSpiPartAnswers) {
  const sim::PlatformProfile profile = sim::ProfileFromJson(
      json::parse(R"({"flash": {"sfdp": "53 46 44 50 06 01 00 FF 00 06 01 02 30 00 00 FF 11 22 33"}})"), "board.json");
  sim::Platform platform(profile);
  ASSERT_NE(platform.Flash().Spi(), nullptr);
  std::vector<uint8_t> answer(19);
  ASSERT_EQ(platform.Flash().Spi()->ReadSfdp(0, 0, static_cast<uint32_t>(answer.size()), answer.data()), EFI_SUCCESS);
  EXPECT_EQ(answer, (std::vector<uint8_t>{0x53, 0x46, 0x44, 0x50, 0x06, 0x01, 0x00, 0xFF, 0x00, 0x06, 0x01, 0x02, 0x30,
                                          0x00, 0x00, 0xFF, 0x11, 0x22, 0x33}));
}

}  // namespace
