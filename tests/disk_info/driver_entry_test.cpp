// DiskInfoSetupDxe's entry: the protocol, the private structure, the three notifications,
// and a failed entry that leaves nothing behind that could call into the unloaded image.
#include "tests/disk_info/disk_fixture.h"

namespace {

using disktest::DiskPlatform;
using disktest::kDriver;

TEST(DiskInfoEntry, WithoutStorageThePrivateStructureIsEmptyAndTheFormGetsNoDriveLines) {
  DiskPlatform dp;
  auto &image = dp.LoadDriver();
  ASSERT_EQ(image.entryStatus, EFI_SUCCESS) << image.fault;
  DiskInfoPrivate *p = dp.Private();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::memcmp(&p->Signature, "QZDS\0\0\0\0", 8), 0);
  EXPECT_EQ(disktest::Val(p->OpticalCount), 0u);
  EXPECT_EQ(disktest::Val(p->OpticalTable), nullptr);
  EXPECT_EQ(disktest::Val(p->ControllerCount), 0);
  EXPECT_EQ(disktest::Val(p->ControllerTable), nullptr);
  EXPECT_EQ(disktest::Val(p->AtaScanDone), 0);
  EXPECT_EQ(disktest::Val(p->AtaDeviceCount), 0u);
  EXPECT_EQ(disktest::Val(p->NvmeCount), 0u);
  EXPECT_EQ(disktest::Val(p->NvmeTable), nullptr);
  // The maps are the image's own static tables.
  EXPECT_EQ(disktest::Val(p->SataPortMap[3].VendorId), 0x1C28);
  EXPECT_EQ(disktest::Val(p->SataPortMap[3].DeviceId), 0x0122);
  EXPECT_EQ(disktest::Val(p->NvmeSlotMap[2].Selector), 0x0B);
  EXPECT_EQ(disktest::Val(p->NvmeSlotMap[3].PciDevice), 0xFF);

  // The interface is the FillForm field, 82 bytes into the structure.
  EXPECT_EQ(reinterpret_cast<uint8_t *>(dp.Form()) - reinterpret_cast<uint8_t *>(p), 82);

  sim::SetupForm form(dp.platform);
  EXPECT_EQ(form.CallFillForm(4), EFI_INVALID_PARAMETER) << "no optical drive";
  EXPECT_EQ(form.Render("en-US"),
            (std::vector<std::string>{"Drive Information", "  Installed drives", "  Drive power management: Enabled"}));
}

TEST(DiskInfoEntry, RegistersItsThreeNotificationsAtTheirLevels) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  const std::pair<EFI_GUID *, EFI_TPL> expected[] = {{&gEfiDiskInfoProtocolGuid, TPL_NOTIFY},
                                                     {&gEfiAtaPassThruProtocolGuid, TPL_CALLBACK + 1},
                                                     {&gEfiNvmExpressPassThruProtocolGuid, TPL_CALLBACK}};
  for (const auto &[guid, tpl] : expected) {
    SCOPED_TRACE(sim::GuidName(*guid));
    auto events = simtest::NotifyEvents(dp.platform, kDriver, *guid);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->tpl, tpl);
  }
}

// No pool for the private structure: the entry fails, the image is unloaded, and no
// event of it is left that would call freed code at the next storage installation.
TEST(DiskInfoEntry, AFailedEntryClosesItsNotificationEvents) {
  DiskPlatform dp;
  dp.platform.Memory().Faults().failType = EfiBootServicesData;
  auto &image = dp.LoadDriver();
  EXPECT_EQ(image.entryStatus, EFI_OUT_OF_RESOURCES);
  EXPECT_TRUE(image.unloaded);
  dp.platform.Memory().Faults() = {};
  for (EFI_GUID *guid :
       {&gEfiDiskInfoProtocolGuid, &gEfiAtaPassThruProtocolGuid, &gEfiNvmExpressPassThruProtocolGuid}) {
    EXPECT_TRUE(simtest::NotifyEvents(dp.platform, kDriver, *guid).empty()) << sim::GuidName(*guid);
  }
  auto controller = dp.AddController(0x8086, 0xFFFF, 0x17, 0);
  dp.InstallPassThru(controller);
  dp.InstallSataDiskInfo(controller, 0, 0xFFFF, disktest::Optical("DVD"));
  EXPECT_EQ(simtest::CountEffects(dp.platform, sim::EffectKind::Fault), 0u);
  EXPECT_TRUE(dp.platform.Memory().DriverAllocations().empty()) << "the failed entry keeps nothing";
}

}  // namespace
