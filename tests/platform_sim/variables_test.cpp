// Variables through the runtime services, and what survives a reset.
#include <gtest/gtest.h>

#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace {

EFI_GUID kVendor = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};

TEST(Variables, SizeRulesAndDeletion) {
  sim::Platform platform(sim::PlatformProfile{});
  EFI_RUNTIME_SERVICES *rt = platform.SystemTable()->RuntimeServices;
  CHAR16 name[] = u"Sample";
  uint8_t data[5] = {1, 2, 3, 4, 5};
  UINTN size = 2;
  uint8_t out[8] = {};
  EXPECT_EQ(rt->GetVariable(name, &kVendor, nullptr, &size, out), EFI_NOT_FOUND);
  ASSERT_EQ(rt->SetVariable(name, &kVendor, 0x7, sizeof(data), data), EFI_SUCCESS);
  EXPECT_EQ(rt->GetVariable(name, &kVendor, nullptr, &size, out), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 5u) << "the needed size is reported";
  UINT32 attributes = 0;
  size = sizeof(out);
  EXPECT_EQ(rt->GetVariable(name, &kVendor, &attributes, &size, out), EFI_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(attributes, 0x7u);
  EXPECT_EQ(out[4], 5);
  EXPECT_EQ(rt->SetVariable(name, &kVendor, 0x3, 1, data), EFI_INVALID_PARAMETER) << "attributes differ";
  EXPECT_EQ(rt->SetVariable(name, &kVendor, 0x5, 1, data), EFI_INVALID_PARAMETER) << "runtime without boot access";
  EXPECT_EQ(rt->SetVariable(name, &kVendor, 0x7, 0, nullptr), EFI_SUCCESS);
  EXPECT_EQ(rt->GetVariable(name, &kVendor, nullptr, &size, out), EFI_NOT_FOUND);
}

TEST(Variables, ResetEndsTheBootAndOnlyNonVolatileStateSurvives) {
  sim::Platform platform(sim::PlatformProfile{});
  EFI_RUNTIME_SERVICES *rt = platform.SystemTable()->RuntimeServices;
  CHAR16 kept[] = u"Kept";
  CHAR16 lost[] = u"Lost";
  uint8_t value = 0x42;
  rt->SetVariable(kept, &kVendor, 0x7, 1, &value);
  rt->SetVariable(lost, &kVendor, 0x6, 1, &value);
  platform.Cmos2().Set(0x47, 0x5A);
  EXPECT_THROW(rt->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr), sim::PlatformReset);
  platform.Reboot();
  EXPECT_NE(platform.Variables().Find(u"Kept", kVendor), nullptr);
  EXPECT_EQ(platform.Variables().Find(u"Lost", kVendor), nullptr);
  EXPECT_EQ(platform.Cmos2().Get(0x47), 0x5A);
  auto resets = platform.Trace().OfKind(sim::EffectKind::Reset);
  ASSERT_EQ(resets.size(), 1u);
  EXPECT_EQ(resets[0].what, "warm reset");
}

}  // namespace
