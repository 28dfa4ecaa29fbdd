// The "form" command end to end: the drives DiskInfoSetupDxe found and form 1 of the
// setup form in each language, read from the JSON it prints.
#include <nlohmann/json.hpp>

#include "tests/tools/cli_run.h"

namespace {

using cli_test::CliFixture;
using cli_test::CliResult;
using nlohmann::json;

struct Drive {
  std::string bus, model, serial, firmware;  // firmware empty: the driver keeps none
  bool shownSerial = true;                   // the form shows the serial number
};

// The default platform's drives as the storage reports them.
const Drive kDrives[] = {
    {"ATA", "Samsung SSD 870 EVO 500GB", "S62ANJ0R412345K", "SVT02B6Q"},
    {"ATA", "WDC WD10EZEX-08WN4A0", "WD-WCC6Y3KJ5921", "01.01A01"},
    {"NVMe", "Samsung SSD 980 PRO 1TB", "S5GXNX0T123456A", ""},
    {"ATAPI", "HL-DT-ST DVDRAM GUD1N", "KZ7E6JD1234", "LD02", false},
};

bool Shows(const json &form, const std::string &text) {
  for (const json &line : form["lines"]) {
    if (line.get<std::string>().find(text) != std::string::npos) return true;
  }
  return false;
}

class CliForm : public CliFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(CliForm, ShowsEveryDriveFoundInEveryLanguageOfTheForm) {
  const CliResult result = Run(GetParam() + " --json form");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const json report = json::parse(result.out);
  EXPECT_TRUE(report["ok"]);
  EXPECT_EQ(report["fillForm"], "EFI_SUCCESS");
  EXPECT_EQ(report["languages"], json({"en-US", "fr-FR"}));
  const json &disks = report["disks"];
  EXPECT_EQ(disks["controllers"], 2);
  ASSERT_EQ(disks["drives"].size(), std::size(kDrives)) << disks.dump(2);
  ASSERT_EQ(report["forms"].size(), 2u);
  EXPECT_EQ(report["forms"][0]["lines"][0], "Drive Information");
  EXPECT_EQ(report["forms"][1]["lines"][0], "Informations sur les disques");
  for (const Drive &expected : kDrives) {
    SCOPED_TRACE(expected.model);
    const auto found = std::find_if(disks["drives"].begin(), disks["drives"].end(),
                                    [&](const json &drive) { return drive["model"] == expected.model; });
    ASSERT_NE(found, disks["drives"].end()) << disks.dump(2);
    EXPECT_EQ((*found)["bus"], expected.bus);
    EXPECT_EQ((*found)["serial"], expected.serial);
    EXPECT_EQ(found->value("firmware", ""), expected.firmware);
    for (const json &form : report["forms"]) {
      SCOPED_TRACE(form["language"].get<std::string>());
      EXPECT_TRUE(Shows(form, "Model Name: " + expected.model)) << form.dump(2);
      EXPECT_EQ(Shows(form, "Serial Number: " + expected.serial), expected.shownSerial) << form.dump(2);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, CliForm, ::testing::Values("--engine emulated", "--engine host"),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                           return info.param.substr(info.param.rfind(' ') + 1);
                         });

TEST_F(CliForm, AProfileThatLoadsTheDriveImageItselfGetsItLoadedOnce) {
  cli_test::WriteText(Path("board.json"),
                      R"({"images": [{"name": "PlatformConfigDxe", "runtime": true}, {"name": "DiskInfoSetupDxe"}]})");
  const CliResult result = Run("--profile " + Path("board.json") + " --json form");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const json report = json::parse(result.out);
  EXPECT_EQ(report["disks"]["ataDisks"], 2);
  size_t loads = 0;
  for (const json &image : report["images"]) loads += image["name"] == "DiskInfoSetupDxe";
  EXPECT_EQ(loads, 1u) << report["images"].dump(2);
}

TEST_F(CliForm, APlatformWithoutHiiShowsNoFormAndFails) {
  cli_test::WriteText(Path("board.json"), R"({"firmware": {"hiiProtocols": false}})");
  const CliResult result = Run("--profile " + Path("board.json") + " --json form");
  EXPECT_EQ(result.exitCode, 1) << result.out;
  const json report = json::parse(result.out);
  EXPECT_FALSE(report["ok"]);
  EXPECT_TRUE(report["forms"].empty());
  EXPECT_NE(result.err.find("no setup form is registered"), std::string::npos) << result.err;
}

}  // namespace
