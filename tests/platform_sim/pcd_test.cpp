// The PCD protocols over the PCD database: walk order, sizes, pointers, persistence.
#include <gtest/gtest.h>

#include <cstring>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/pcd.h"
#include "runtime/uefi/status.h"
#include "tests/support/sim_helpers.h"

namespace {

EFI_GUID kSpace = {0xCBDEF572, 0x719D, 0x426E, {0x8A, 0x43, 0x75, 0xAE, 0x91, 0x3C, 0xFF, 0xB2}};

TEST(Pcd, TokenSpacesWalkInDefinitionOrderAndHandOutValues) {
  sim::PlatformProfile profile;
  profile.pcds.push_back({kSpace, 5, {1, 2, 3}, false});
  profile.pcds.push_back({kSpace, 0x12345678, {9}, false});
  profile.pcds.push_back({kSpace, 9, {0x10, 0, 0, 0, 0, 0, 0, 0}, false});
  sim::Platform platform(profile);
  auto *pcd = simtest::Locate<EFI_PCD_PROTOCOL>(platform, gEfiPcdProtocolGuid);
  ASSERT_NE(pcd, nullptr);
  std::vector<UINTN> walk;
  UINTN token = 0;
  while (pcd->GetNextToken(&kSpace, &token) == EFI_SUCCESS && token != 0) walk.push_back(token);
  EXPECT_EQ(walk, (std::vector<UINTN>{5, 0x12345678, 9}));
  EXPECT_EQ(token, 0u);
  EXPECT_EQ(pcd->GetSize(&kSpace, 5), 3u);
  auto *bytes = static_cast<uint8_t *>(pcd->GetPtr(&kSpace, 5));
  ASSERT_TRUE(platform.Memory().InArena(reinterpret_cast<uint64_t>(bytes), 3));
  EXPECT_EQ(std::memcmp(bytes, "\x01\x02\x03", 3), 0);
  EXPECT_EQ(pcd->Get64(&kSpace, 9), 0x10u);
  EXPECT_EQ(pcd->Set64(&kSpace, 9, 0x20), EFI_SUCCESS);
  EXPECT_EQ(pcd->Get64(&kSpace, 9), 0x20u);
  EXPECT_EQ(pcd->Set64(&kSpace, 77, 1), EFI_NOT_FOUND);
}

TEST(Pcd, PersistentTokensSurviveAResetAndOthersStartAgain) {
  sim::PlatformProfile profile;
  profile.pcds.push_back({std::nullopt, 433, {0, 0, 0, 0}, true});
  profile.pcds.push_back({std::nullopt, 434, {0, 0, 0, 0}, false});
  sim::Platform platform(profile);
  auto *pcd = simtest::Locate<PCD_PROTOCOL>(platform, gPcdProtocolGuid);
  pcd->Set32(433, 0x12345678);
  pcd->Set32(434, 7);
  platform.Reboot();
  pcd = simtest::Locate<PCD_PROTOCOL>(platform, gPcdProtocolGuid);
  EXPECT_EQ(pcd->Get32(433), 0x12345678u);
  EXPECT_EQ(pcd->Get32(434), 0u);
}

}  // namespace
