// The simulator's main job end to end: it runs and reports what the driver did.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

namespace {

TEST(SimulatorCli, DefaultRunReportsTheDriversEffects) {
  std::string output;
  FILE *pipe = popen(SIM_CLI " 2>&1", "r");
  ASSERT_NE(pipe, nullptr);
  std::array<char, 4096> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
  int status = pclose(pipe);
  ASSERT_EQ(status, 0) << output;
  for (const char *expected : {"PlatformConfigDxe     protocol      PlatformConfigProtocol",
                               "AdministerSecureBoot {AdministerSecureBootVendor} attributes 0x7, 1 bytes: 01",
                               "EC bytes taken: 81 07 FE 80 9A 00 08 16 00 00 10 00 9A 00 08 16 00 00 10 00",
                               "SignalEmbeddedController -> EFI_SUCCESS", "GetCmosOverride -> EFI_SUCCESS",
                               "PlatformConfigDxe: entry EFI_SUCCESS",
                               "PlatformConfigDxe     protocol      TagStoreTable",
                               "Chosen flash device (PCD 433): token 0x11 \"W25Q128JV\" \"Winbond\""}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
}

}  // namespace
