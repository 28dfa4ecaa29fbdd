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
                               "Chosen flash device (PCD 433): token 0x11 \"W25Q128JV\" \"Winbond\"",
                               "Address fix-up registrations: 6",
                               "of PlatformConfigDxe, holds",
                               "(AddressFixupProtocol interface)",
                               "(runtime services)",
                               "Pointer conversions at the change to virtual addressing: 6",
                               "(EfiACPIMemoryNVS): table 0x0, 0 bytes used, 0 pages, closed",
                               "Lock boxes: 1",
                               "S3BootScriptPrivate: 8 bytes from",
                               "attributes 0x1, saved by PlatformConfigDxe: 00 00 00 00 00 00 00 00",
                               "SetVirtualAddressMap -> EFI_SUCCESS"}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
}

}  // namespace
