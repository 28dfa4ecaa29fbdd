// The profile's storage end to end: the drives a profile describes are the drives the
// form command shows, a board without an optical drive is a normal outcome, and a bad
// storage entry is refused naming its field.
#include <nlohmann/json.hpp>

#include <algorithm>

#include "tests/support/case_names.h"
#include "tests/tools/cli_run.h"

namespace {

using cli_test::CliFixture;
using cli_test::CliResult;
using nlohmann::json;

// The chipset's AHCI controller at 0:17.0, the add-in controller behind root port 0:1C.4
// and an NVMe drive behind root port 0:1D.0, as the default places them.
constexpr const char *kChipsetAhci = R"({"kind": "ahci", "device": "0x17", "vendorId": "0x8086",
    "deviceId": "0x7AE2", "drives": [{"port": 0, "model": "INTEL SSDSC2KB480G8", "serial": "PHYF0011223344"}]})";
constexpr const char *kAddInAhciPort3 = R"({"kind": "ahci", "bus": 4, "device": 0, "vendorId": "0x1B21",
    "deviceId": "0x1164", "path": [{"device": "0x1C", "function": 4}, {"device": 0, "function": 0}],
    "drives": [{"port": 3, "model": "ST2000DM008-2FR102", "serial": "ZFL1ABCD", "firmware": "0001"}]})";
constexpr const char *kNvme = R"({"kind": "nvme", "bus": 3, "device": 0, "vendorId": "0x144D",
    "deviceId": "0xA80A", "path": [{"device": "0x1D", "function": 0}, {"device": 0, "function": 0}],
    "model": "Samsung SSD 990 PRO 2TB", "serial": "S7DNNJ0W999999X"})";

struct ShownDrive {
  std::string bus, model;
  int location;  // ATA port or NVMe namespace
};

struct StorageCase {
  std::string name;
  std::string storage;  // the profile's "storage" list
  std::vector<ShownDrive> drives;
  std::vector<std::string> formModels;  // the drives form 1 lists by model
};
SIMTEST_PRINTS_CASE(StorageCase)

class CliStorage : public CliFixture, public ::testing::WithParamInterface<StorageCase> {};

// FillForm answers EFI_INVALID_PARAMETER when the board has no optical drive: the
// driver's way of saying the optical line was left out, not a failed run.
TEST_P(CliStorage, TheFormShowsExactlyTheProfilesDrives) {
  const StorageCase &c = GetParam();
  cli_test::WriteText(Path("board.json"), R"({"storage": )" + c.storage + "}");
  const CliResult result = Run("--profile " + Path("board.json") + " --engine host --json form");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const json report = json::parse(result.out);
  EXPECT_TRUE(report["ok"]) << report["problems"];
  EXPECT_EQ(report["fillForm"], "EFI_INVALID_PARAMETER");
  const json &drives = report["disks"]["drives"];
  ASSERT_EQ(drives.size(), c.drives.size()) << drives.dump(2);
  EXPECT_EQ(report["disks"]["opticalDrives"], 0);
  for (const ShownDrive &expected : c.drives) {
    SCOPED_TRACE(expected.model);
    const auto found =
        std::find_if(drives.begin(), drives.end(), [&](const json &drive) { return drive["model"] == expected.model; });
    ASSERT_NE(found, drives.end()) << drives.dump(2);
    EXPECT_EQ((*found)["bus"], expected.bus);
    EXPECT_EQ((*found)[expected.bus == "NVMe" ? "namespace" : "port"], expected.location);
  }
  ASSERT_FALSE(report["forms"].empty());
  std::vector<std::string> shown;
  for (const json &line : report["forms"][0]["lines"]) {
    const std::string text = line.get<std::string>();
    EXPECT_EQ(text.find("ODD Model Name"), std::string::npos) << text;
    const size_t at = text.find("Model Name: ");
    if (at == std::string::npos) continue;
    std::string model = text.substr(at + 12);
    model.erase(model.find_last_not_of(' ') + 1);
    shown.push_back(model);
  }
  EXPECT_EQ(shown, c.formModels);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, CliStorage,
    ::testing::Values(StorageCase{"OneNvmeDriveOnly",
                                  std::string("[") + kNvme + "]",
                                  {{"NVMe", "Samsung SSD 990 PRO 2TB", 1}},
                                  {"Samsung SSD 990 PRO 2TB"}},
                      // The add-in controller's port 3 has no slot on the form; the driver still finds it.
                      StorageCase{"ADriveOnPort3OfTheAddInController",
                                  std::string("[") + kChipsetAhci + ", " + kAddInAhciPort3 + ", " + kNvme + "]",
                                  {{"ATA", "INTEL SSDSC2KB480G8", 0},
                                   {"ATA", "ST2000DM008-2FR102", 3},
                                   {"NVMe", "Samsung SSD 990 PRO 2TB", 1}},
                                  {"Samsung SSD 990 PRO 2TB", "INTEL SSDSC2KB480G8"}}),
    simtest::CaseName<StorageCase>);

TEST_F(CliStorage, AProfilesStorageIsPrintedAndReadBackTheSame) {
  const std::string printed =
      RoundTripProfile(std::string(R"({"storage": [)") + kChipsetAhci + ", " + kAddInAhciPort3 + ", " + kNvme + "]}");
  ASSERT_FALSE(HasFailure());
  const json storage = json::parse(printed)["storage"];
  ASSERT_EQ(storage.size(), 3u);
  // Fields left out take their defaults: the root bus, function 0, firmware "1.00",
  // no port multiplier, namespace 1.
  EXPECT_EQ(storage[0]["path"], json::parse(R"([{"device": "0x17", "function": 0}])"));
  EXPECT_EQ(storage[0]["drives"][0]["firmware"], "1.00");
  EXPECT_EQ(storage[0]["drives"][0]["portMultiplierPort"], "0xFFFF");
  EXPECT_EQ(storage[1]["drives"][0]["port"], 3);
  EXPECT_EQ(storage[2]["namespaces"], json::array({1}));
}

struct BadStorage {
  std::string name;
  std::string storage;
  std::string message;  // a part of what stderr must say
};
SIMTEST_PRINTS_CASE(BadStorage)

class CliBadStorage : public CliFixture, public ::testing::WithParamInterface<BadStorage> {};

TEST_P(CliBadStorage, IsAUsageErrorThatNamesTheField) {
  cli_test::WriteText(Path("bad.json"), R"({"storage": )" + GetParam().storage + "}");
  const CliResult result = Run("--profile " + Path("bad.json") + " form");
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_NE(result.err.find("bad.json: field \"" + GetParam().message), std::string::npos) << result.err;
  EXPECT_TRUE(result.out.empty()) << "nothing ran: " << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, CliBadStorage,
    ::testing::Values(BadStorage{"NotAList", R"({"kind": "ahci"})", R"(storage": expected an array)"},
                      BadStorage{"UnknownKind", R"([{"kind": "scsi", "device": 1, "vendorId": 1, "deviceId": 1}])",
                                 R"(storage[0].kind": expected one of "ahci", "nvme", "bridge")"},
                      BadStorage{"PortOfWrongType",
                                 R"([{"kind": "ahci", "device": 1, "vendorId": 1, "deviceId": 1,
                        "drives": [{"port": "three", "model": "M", "serial": "S"}]}])",
                                 R"(storage[0].drives[0].port": expected an unsigned integer)"},
                      BadStorage{
                          "DrivesOnAnNvmeController",
                          R"([{"kind": "nvme", "device": 1, "vendorId": 1, "deviceId": 1, "model": "M", "serial": "S",
                        "drives": []}])",
                          R"(storage[0].drives": unknown field)"},
                      BadStorage{"TwoDrivesOnOnePort",
                                 R"([{"kind": "ahci", "device": 1, "vendorId": 1, "deviceId": 1,
                        "drives": [{"port": 2, "model": "A", "serial": "1"}, {"port": 2, "model": "B", "serial": "2"}]}])",
                                 R"(storage[0].drives[1].port": expected a port)"},
                      BadStorage{"ModelLongerThanItsField",
                                 R"([{"kind": "nvme", "device": 1, "vendorId": 1, "deviceId": 1, "serial": "S",
                        "model": "a model name far longer than the forty characters"}])",
                                 R"(storage[0].model": expected a non-empty printable ASCII text of at most 40)"},
                      BadStorage{"PathEndingElsewhere",
                                 R"([{"kind": "bridge", "device": 1, "vendorId": 1, "deviceId": 1,
                        "path": [{"device": 2, "function": 0}]}])",
                                 R"(storage[0].path": expected a path whose last node)"}),
    simtest::CaseName<BadStorage>);

}  // namespace
