// The simulator's main job end to end: it runs and reports what the driver did.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/wait.h>

namespace {

// The default run uses the shipped images on the emulated CPU; --engine host the host
// images. Both tell the same story.
class SimulatorCli : public ::testing::TestWithParam<std::string> {};

TEST_P(SimulatorCli, DefaultRunReportsTheDriversEffects) {
  std::string output;
  FILE *pipe = popen((std::string(SIM_CLI) + " " + GetParam() + " 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::array<char, 4096> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
  int status = pclose(pipe);
  ASSERT_EQ(status, 0) << output;
  // The policy converges on the second boot: the only reset is the first boot's.
  size_t reset = output.find("reset         warm reset");
  ASSERT_NE(reset, std::string::npos) << output;
  EXPECT_EQ(output.find("reset         warm reset", reset + 1), std::string::npos) << output;
  for (const char *expected :
       {"PlatformConfigDxe     protocol      PlatformConfigProtocol",
        "AdministerSecureBoot {AdministerSecureBootVendor} attributes 0x7, 1 bytes: 01",
        "EC bytes taken: 81 07 FE 80 9A 00 08 16 00 00 10 00 9A 00 08 16 00 00 10 00",
        "SignalEmbeddedController -> EFI_SUCCESS", "GetCmosOverride -> EFI_SUCCESS",
        "PlatformConfigDxe: entry EFI_SUCCESS", "PlatformConfigDxe     protocol      TagStoreTable",
        "Chosen flash device (PCD 433): token 0x11 \"W25Q128JV\" \"Winbond\"", "Address fix-up registrations: 6",
        "of PlatformConfigDxe, holds", "(AddressFixupProtocol interface)", "(runtime services)",
        "Pointer conversions at the change to virtual addressing: 6",
        "(EfiACPIMemoryNVS): table 0x0, 0 bytes used, 0 pages, closed", "Lock boxes: 1",
        "S3BootScriptPrivate: 8 bytes from", "attributes 0x1, saved by PlatformConfigDxe: 00 00 00 00 00 00 00 00",
        "SetVirtualAddressMap -> EFI_SUCCESS",
        // The setup policy: "PchSetup" brought in line, a warm reset, and a second
        // boot that converges; then the configuration load.
        "PlatformConfigDxe     variable      PchSetup (1632 bytes)", "PlatformConfigDxe     reset         warm reset",
        "== boot 2 ==", "caller                cmos          bank 2 register 0x47 <- 0x02",
        "caller                cmos          bank 2 register 0x47 <- 0x00", "LoadPlatformConfig -> EFI_SUCCESS",
        "LDFG {LoadFlagVariable} attributes 0x7, 1 bytes: 99",
        "QzMasterPwd {MasterPasswordVariable} attributes 0x7, 16 bytes: 46 00 61 00 63 00 74 00 6F 00 72 00 "
        "79 00 31 00",
        "QzUserPwd {UserPasswordVariable} attributes 0x7, 16 bytes: 75 00 73 00 65 00 72 00 00 00",
        // The power-event log: a start-up record at each load, one record per
        // S3, S4 and S5 entry through the Sx dispatcher.
        "PowerEventLogSmm: entry EFI_SUCCESS", "OS                    sleep         entered S3",
        "PowerEventLogSmm      note          S4 entry handler -> EFI_SUCCESS",
        "Power-event log \"PLOG\": signature \"KOVAPLOG\", free map 0xFFFFFFFFFFFFFFC0, 6 of 62 slots used",
        "slot  2: 2026-03-14 09:26:53  S3 entry", "slot  3: 2026-03-14 09:27:58  S4 entry",
        "slot  4: 2026-03-14 10:27:58  driver start", "slot  5: 2026-03-14 10:29:28  S5 entry"}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, SimulatorCli, ::testing::Values("", "--engine host", "--engine emulated"),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                           return info.param.empty() ? std::string("Default")
                                                     : info.param.substr(info.param.rfind(' ') + 1);
                         });

TEST(SimulatorCliUsage, AnUnknownEngineIsAUsageError) {
  FILE *pipe = popen(SIM_CLI " --engine quantum 2>&1", "r");
  ASSERT_NE(pipe, nullptr);
  std::array<char, 4096> buffer{};
  std::string output;
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
  int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(output.find("quantum not in {emulated,host}"), std::string::npos) << output;
}

}  // namespace
