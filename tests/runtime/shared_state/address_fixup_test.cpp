// PlatformConfigDxe's address fix-up registration, its SMM variable access pointer
// and the tear-down of both after a failed driver entry.
#include <gtest/gtest.h>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/case_names.h"

namespace {

using simtest::NotifyEvents;
using simtest::PointerAt;

constexpr char kProbe[] = "PlatformConfigProbe";

sim::PlatformProfile Profile(bool fixupAtBoot) {
  sim::PlatformProfile profile;
  profile.addressFixupAtBoot = fixupAtBoot;
  return profile;
}

sim::AddressFixupRegistry &Registry(sim::Platform &platform) { return platform.Core().AddressFixups(); }

uint64_t FixupInterface(sim::Platform &platform) {
  return reinterpret_cast<uint64_t>(simtest::Locate<void>(platform, gAddressFixupProtocolGuid));
}

TEST(AddressFixup, WithoutTheProtocolNothingIsCalledUntilItArrivesAndThenItsOwnPointerIsRegisteredOnce) {
  sim::Platform platform(Profile(false));
  platform.Load(kProbe, sim::LoadOptions{true, false});
  auto *probe = simtest::Locate<PLATFORM_CONFIG_PROBE>(platform, gProbeProtocolGuid);
  ASSERT_NE(probe, nullptr);
  void *variable = platform.Memory().AllocateFirmware(sizeof(void *));
  EXPECT_EQ(simtest::Call(probe->AddressFixupRegister, variable), EFI_ABORTED);
  EXPECT_EQ(simtest::Call(probe->AddressFixupRemove, variable), EFI_ABORTED);
  ASSERT_EQ(NotifyEvents(platform, kProbe, gAddressFixupProtocolGuid).size(), 1u);

  platform.Core().InstallAddressFixup();
  const auto &registrations = Registry(platform).Registrations();
  ASSERT_EQ(registrations.size(), 1u) << "the SMM variable pointer was refused before: not registered now";
  EXPECT_EQ(PointerAt(registrations[0].variable), FixupInterface(platform));
  EXPECT_EQ(registrations[0].owner, kProbe);
  EXPECT_TRUE(NotifyEvents(platform, kProbe, gAddressFixupProtocolGuid).empty()) << "the callback closed its event";

  platform.Core().InstallAddressFixup();
  EXPECT_EQ(Registry(platform).Calls().size(), 1u) << "a second instance is not noticed";

  EXPECT_EQ(simtest::Call(probe->AddressFixupRegister, variable), EFI_SUCCESS);
  EXPECT_TRUE(Registry(platform).IsRegistered(reinterpret_cast<uint64_t>(variable)));
  EXPECT_EQ(simtest::Call(probe->AddressFixupRemove, variable), EFI_SUCCESS);
  EXPECT_FALSE(Registry(platform).IsRegistered(reinterpret_cast<uint64_t>(variable)));
}

struct ImageCase {
  const char *name;
  bool runtimeImage;
  bool fixupAtBoot;
  size_t registrations;
};
SIMTEST_PRINTS_CASE(ImageCase)

class AddressFixupImages : public ::testing::TestWithParam<ImageCase> {};

// Only a runtime image has pointers to convert; a boot-services image never calls the
// protocol, whether it was there at the start or arrived later.
TEST_P(AddressFixupImages, RuntimeImagesRegisterTheirPointersAndBootServicesImagesCallNothing) {
  const ImageCase &param = GetParam();
  sim::Platform platform(Profile(param.fixupAtBoot));
  platform.Load(kProbe, sim::LoadOptions{param.runtimeImage, false});
  if (!param.fixupAtBoot) platform.Core().InstallAddressFixup();
  EXPECT_TRUE(NotifyEvents(platform, kProbe, gAddressFixupProtocolGuid).empty());

  const auto &registrations = Registry(platform).Registrations();
  ASSERT_EQ(registrations.size(), param.registrations);
  if (param.registrations == 6) {
    EXPECT_EQ(PointerAt(registrations[0].variable), FixupInterface(platform));
    // The flash layer's BIOS base, SPI register block and SPI protocol, then its
    // current-context pointer (no flash on this platform: the last three are null).
    EXPECT_EQ(PointerAt(registrations[1].variable), 0xFFA00000u);
    EXPECT_EQ(PointerAt(registrations[2].variable) | PointerAt(registrations[3].variable) |
                  PointerAt(registrations[4].variable),
              0u);
    EXPECT_EQ(PointerAt(registrations[5].variable), reinterpret_cast<uint64_t>(platform.SystemTable()->RuntimeServices))
        << "the SMM variable access copy of the runtime services pointer";
  }
  auto *probe = simtest::Locate<PLATFORM_CONFIG_PROBE>(platform, gProbeProtocolGuid);
  void *variable = platform.Memory().AllocateFirmware(sizeof(void *));
  EXPECT_EQ(simtest::Call(probe->AddressFixupRegister, variable), param.runtimeImage ? EFI_SUCCESS : EFI_ABORTED);
  if (!param.runtimeImage) EXPECT_TRUE(Registry(platform).Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Loads, AddressFixupImages,
                         ::testing::Values(ImageCase{"RuntimeImageProtocolAtBoot", true, true, 6},
                                           ImageCase{"RuntimeImageProtocolLater", true, false, 1},
                                           ImageCase{"BootServicesImageProtocolAtBoot", false, true, 0},
                                           ImageCase{"BootServicesImageProtocolLater", false, false, 0}),
                         [](const ::testing::TestParamInfo<ImageCase> &info) { return std::string(info.param.name); });

TEST(AddressFixupTearDown, AFailedEntryRemovesEveryRegistrationAndFreesTheS3Record) {
  sim::Platform platform(Profile(true));
  simtest::PutVariable<uint64_t>(platform, u"ProbeEntryStatus", gProbeVariableGuid, EFI_DEVICE_ERROR);
  auto &image = platform.Load(kProbe, sim::LoadOptions{true, false});
  EXPECT_EQ(image.entryStatus, EFI_DEVICE_ERROR);

  EXPECT_TRUE(Registry(platform).Registrations().empty());
  const auto &calls = Registry(platform).Calls();
  ASSERT_EQ(calls.size(), 12u);
  // Registered: the fix-up's own pointer, the flash layer's three, the flash context,
  // the SMM variable access copy. Removed in tear-down order: SMM variable access,
  // flash context, flash layer, the fix-up's own pointer last.
  const size_t removedOf[] = {5, 4, 1, 2, 3, 0};
  for (size_t index = 0; index < std::size(removedOf); ++index) {
    const auto &call = calls[6 + index];
    EXPECT_EQ(call.operation, "remove") << index;
    EXPECT_EQ(call.variable, calls[removedOf[index]].variable) << index;
    EXPECT_EQ(call.status, EFI_SUCCESS) << index;
  }

  EXPECT_EQ(platform.Pcds().Number(platform.Pcds().Find(gS3BootScriptTokenSpaceGuid, 0x30000)), 0u);
  for (const sim::Allocation &block : platform.Memory().DriverAllocations()) {
    EXPECT_NE(block.type, EfiACPIMemoryNVS) << "the S3 record page was not freed";
  }
  EXPECT_TRUE(NotifyEvents(platform, kProbe, gEfiDxeSmmReadyToLockProtocolGuid).empty());
  platform.Core().InstallSmmReadyToLock();
  EXPECT_TRUE(platform.Core().Communication().Requests().empty());
  // Published as a protocol, the list head stays.
  EXPECT_NE(simtest::Locate<void>(platform, gSharedListHeadProtocolGuid), nullptr);
}

TEST(AddressFixupTearDown, AFailedEntryClosesTheAwaitingNotification) {
  sim::Platform platform(Profile(false));
  simtest::PutVariable<uint64_t>(platform, u"ProbeEntryStatus", gProbeVariableGuid, EFI_OUT_OF_RESOURCES);
  platform.Load(kProbe, sim::LoadOptions{true, false});
  EXPECT_TRUE(NotifyEvents(platform, kProbe, gAddressFixupProtocolGuid).empty());
  platform.Core().InstallAddressFixup();
  EXPECT_TRUE(Registry(platform).Calls().empty());
}

}  // namespace
