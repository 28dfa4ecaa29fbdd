// The simulated memory: typed allocations below 4 GiB, SMRAM, freeing and faults.
#include <gtest/gtest.h>

#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace {

TEST(Arena, PoolAndPagesAreTypedTrackedAndFreed) {
  sim::Platform platform(sim::PlatformProfile{});
  EFI_BOOT_SERVICES *bs = platform.SystemTable()->BootServices;
  void *pool = nullptr;
  ASSERT_EQ(bs->AllocatePool(EfiRuntimeServicesData, 40, &pool), EFI_SUCCESS);
  EXPECT_TRUE(platform.Memory().InArena(reinterpret_cast<uint64_t>(pool), 40));
  EXPECT_EQ(platform.Memory().Find(reinterpret_cast<uint64_t>(pool) + 39)->type, EfiRuntimeServicesData);

  EFI_PHYSICAL_ADDRESS page = 0x1FFFFFFF;
  ASSERT_EQ(bs->AllocatePages(AllocateMaxAddress, EfiACPIMemoryNVS, 1, &page), EFI_SUCCESS);
  EXPECT_LE(page + 0xFFF, 0x1FFFFFFFull);
  EXPECT_EQ(page % 0x1000, 0u);
  EFI_PHYSICAL_ADDRESS fixed = page;
  EXPECT_EQ(bs->AllocatePages(AllocateAddress, EfiACPIMemoryNVS, 1, &fixed), EFI_NOT_FOUND) << "already taken";

  EXPECT_EQ(platform.Memory().DriverAllocations().size(), 2u);
  EXPECT_EQ(bs->FreePool(pool), EFI_SUCCESS);
  EXPECT_EQ(bs->FreePool(pool), EFI_INVALID_PARAMETER) << "double free is refused";
  EXPECT_EQ(bs->FreePages(page, 2), EFI_NOT_FOUND) << "wrong page count";
  EXPECT_EQ(bs->FreePages(page, 1), EFI_SUCCESS);
  EXPECT_TRUE(platform.Memory().DriverAllocations().empty());
}

TEST(Arena, FaultsFailTheNthAllocationOrEveryOneOfAType) {
  sim::Platform platform(sim::PlatformProfile{});
  sim::Arena &arena = platform.Memory();
  arena.Faults().failNth = arena.DriverAllocationCount() + 2;
  EXPECT_NE(arena.AllocatePool(EfiBootServicesData, 8), nullptr);
  EXPECT_EQ(arena.AllocatePool(EfiBootServicesData, 8), nullptr);
  EXPECT_NE(arena.AllocatePool(EfiBootServicesData, 8), nullptr);
  arena.Faults().failType = EfiRuntimeServicesData;
  EXPECT_EQ(arena.AllocatePool(EfiRuntimeServicesData, 8), nullptr);
  EXPECT_FALSE(arena.AllocatePages(AllocateAnyPages, EfiRuntimeServicesData, 1, 0).has_value());
  EXPECT_NE(arena.AllocatePool(EfiBootServicesData, 8), nullptr);
}

TEST(Arena, SmramPoolComesFromItsOwnRange) {
  sim::Platform platform(sim::PlatformProfile{});
  void *smram = platform.Memory().AllocatePool(EfiRuntimeServicesData, 64, sim::Region::Smram);
  void *normal = platform.Memory().AllocatePool(EfiRuntimeServicesData, 64);
  EXPECT_TRUE(platform.Memory().InSmram(reinterpret_cast<uint64_t>(smram)));
  EXPECT_FALSE(platform.Memory().InSmram(reinterpret_cast<uint64_t>(normal)));
}

TEST(Arena, OnlyOnePlatformAtATimeAndTheArenaIsRemappedOnReboot) {
  sim::Platform platform(sim::PlatformProfile{});
  EXPECT_THROW(sim::Platform second(sim::PlatformProfile{}), std::logic_error);
  void *before = platform.Memory().AllocatePool(EfiBootServicesData, 8);
  platform.Reboot();
  EXPECT_EQ(platform.Memory().Find(reinterpret_cast<uint64_t>(before)), nullptr) << "memory does not survive";
  EXPECT_EQ(platform.BootNumber(), 2u);
}

}  // namespace
