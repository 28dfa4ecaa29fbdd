// Every shipped image on a firmware that offers almost nothing: no HOB list, no DXE
// services, no PCD, SMM, flash or HII protocols, no chipset behind the usual addresses.
// Such a firmware still starts every driver; the shipped bytes must return from their
// entry without faulting, whatever status they give.
#include <gtest/gtest.h>

#include "platform_sim/platform.h"
#include "tests/images/shipped_images.h"

namespace {

sim::PlatformProfile BareProfile() {
  sim::PlatformProfile profile = sim::DefaultPlatformProfile();
  profile.engine = sim::Engine::Emulated;
  profile.hobList = false;
  profile.dxeServices = false;
  profile.hiiProtocols = false;
  profile.pcdProtocols = false;
  profile.pcdInfoProtocols = false;
  profile.flashAccessProtocol = false;
  profile.smmBase = false;
  profile.smmAccess = false;
  profile.smmCommunication = false;
  profile.variableWriteAtBoot = false;
  profile.pmcPresent = false;
  profile.traceHubPresent = false;
  return profile;
}

class BareFirmware : public ::testing::TestWithParam<std::string> {};

TEST_P(BareFirmware, TheImageStartsAndItsEntryReturns) {
  sim::Platform platform(BareProfile());
  const sim::LoadedImage &image = platform.Load(GetParam());
  EXPECT_TRUE(image.entryReturned) << image.fault;
  EXPECT_TRUE(image.fault.empty()) << image.fault;
}

INSTANTIATE_TEST_SUITE_P(Shipped, BareFirmware, ::testing::ValuesIn(imagetest::ShippedImages()),
                         imagetest::ImageTestName);

}  // namespace
