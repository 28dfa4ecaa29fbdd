// A failed entry unloads PlatformConfigDxe: a protocol installed later must not call
// into it. Each notification the platform still holds for it is a recorded fault.
#include <gtest/gtest.h>

#include "platform_config/config_protocol.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/support/sim_helpers.h"

namespace {

constexpr char kDriver[] = "PlatformConfigDxe";

TEST(FailedEntry, ALaterInstallationCallsNothingInTheUnloadedImage) {
  sim::PlatformProfile profile;
  profile.variableWriteAtBoot = false;
  profile.tscFrequencyTable = 2400000000ull;  // no TSC buffer: the interface is the first allocation
  sim::Platform platform(profile);
  // Nor the tag store table, the S3 record or the list head: earlier images published them.
  platform.Core().InstallProtocol(gTagStoreTableProtocolGuid, platform.Memory().AllocateFirmware(260));
  sim::PcdEntry *s3Record = platform.Pcds().Find(gS3BootScriptTokenSpaceGuid, 0x30000);
  ASSERT_NE(s3Record, nullptr);
  platform.Pcds().SetNumber(*s3Record, reinterpret_cast<uint64_t>(platform.Memory().AllocateFirmware(16)), 8);
  platform.Core().InstallProtocol(gSharedListHeadProtocolGuid, platform.Memory().AllocateFirmware(16));
  platform.Memory().Faults().failNth = platform.Memory().DriverAllocationCount() + 1;

  auto &image = platform.Load(kDriver);
  ASSERT_EQ(image.entryStatus, EFI_OUT_OF_RESOURCES);
  EXPECT_TRUE(image.unloaded);
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::ImageUnload), 1u);
  platform.Memory().Faults().failNth = 0;

  // Whatever notifications of the image are still registered would run on these.
  size_t waiting = simtest::NotifyEvents(platform, kDriver, gEfiVariableWriteArchProtocolGuid).size() +
                   simtest::NotifyEvents(platform, kDriver, gSetupDataProtocolGuid).size();
  platform.Core().InstallVariableWriteArch();
  auto *setupData = platform.Memory().NewFirmware<SETUP_DATA_PROTOCOL>();
  setupData->SetupData = static_cast<UINT8 *>(platform.Memory().AllocateFirmware(SETUP_CONFIG_SIZE));
  platform.Core().InstallProtocol(gSetupDataProtocolGuid, setupData);

  EXPECT_EQ(platform.Variables().Find(u"AdministerSecureBoot", gAdministerSecureBootVariableGuid), nullptr);
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::VariableRead, kDriver), 0u) << "no code of it ran";
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::Fault), waiting);
  // A host image is refused the call; the shipped image's memory is gone, and the call
  // traps there.
  for (const sim::Effect &fault : platform.Trace().OfKind(sim::EffectKind::Fault)) {
    if (platform.Emulated()) {
      EXPECT_NE(fault.what.find("notify function of PlatformConfigDxe faulted: fault at RIP"), std::string::npos)
          << fault.what;
    } else {
      EXPECT_EQ(fault.what, "notify function of unloaded image PlatformConfigDxe not called");
    }
  }
}

}  // namespace
