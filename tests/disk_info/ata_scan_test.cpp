// The ATA notification: controllers by class code, drives through ATA pass-thru, the
// packets they get, and when the drive scan runs.
#include "platform_sim/profile/default_storage.h"
#include "tests/disk_info/disk_fixture.h"

namespace {

using disktest::DiskPlatform;
using disktest::Val;

// The controller's drives are known to the system (Disk Info installed) before another
// ATA pass-thru instance lets the scan complete.
struct ScannedController {
  DiskPlatform dp;
  disktest::Controller controller;
  std::vector<EFI_HANDLE> diskInfo;

  explicit ScannedController(const std::vector<std::tuple<uint16_t, uint16_t, sim::AtaIdentifyBlock>> &drives) {
    EXPECT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
    controller = dp.AddController(0x8086, 0xA352, 0x17, 0);
    for (const auto &[port, pmp, identify] : drives) controller.ata->Attach(port, pmp, identify);
    dp.InstallPassThru(controller);
    EXPECT_EQ(Val(dp.Private()->AtaScanDone), 0) << "no Disk Info handle yet";
    for (const auto &[port, pmp, identify] : drives) dp.InstallSataDiskInfo(controller, port, pmp, identify);
    dp.AnotherAtaPassThru();
  }
};

TEST(AtaScan, SendsIdentifyAndSetFeaturesAsLaidOut) {
  ScannedController s({{0, 0xFFFF, disktest::Disk("DIRECT", "D0", true)},
                       {1, 0, disktest::Disk("PMP ZERO", "P0")},
                       {1, 1, disktest::Disk("PMP ONE", "P1", true)}});
  struct Expected {
    uint16_t port, pmp;
    uint8_t deviceHead;
    bool setFeatures;
  };
  for (const Expected &e : {Expected{0, 0xFFFF, 0xF0, true}, Expected{1, 0, 0xE0, false}, Expected{1, 1, 0xF0, true}}) {
    SCOPED_TRACE(testing::Message() << "port " << e.port << " pmp " << e.pmp);
    const auto &packets = s.controller.ata->Drive(e.port, e.pmp)->packets;
    ASSERT_EQ(packets.size(), e.setFeatures ? 2u : 1u);
    const sim::AtaPacketRecord &identify = packets[0];
    EXPECT_EQ(identify.command, 0xEC);
    EXPECT_EQ(identify.protocol, 4);
    EXPECT_EQ(identify.length, 0x80);
    EXPECT_EQ(identify.inTransferLength, 512u);
    EXPECT_EQ(identify.timeout, 0u);
    EXPECT_EQ(identify.deviceHead, e.deviceHead);
    EXPECT_EQ(identify.features | identify.sectorCount, 0);
    EXPECT_TRUE(identify.otherBytesZero);
    if (e.setFeatures) {
      const sim::AtaPacketRecord &features = packets[1];
      EXPECT_EQ(features.command, 0xEF);
      EXPECT_EQ(features.features, 0x90);
      EXPECT_EQ(features.sectorCount, 0x09);
      EXPECT_EQ(features.protocol, 2);
      EXPECT_EQ(features.length, 0x80);
      EXPECT_EQ(features.inTransferLength, 0u);
      EXPECT_EQ(features.deviceHead, e.deviceHead);
      EXPECT_TRUE(features.otherBytesZero);
    }
  }
  EXPECT_TRUE(s.controller.ata->Faults().empty());

  auto records = s.dp.AtaRecords();
  ASSERT_EQ(records.size(), 3u);
  const uint16_t ports[][2] = {{0, 0xFFFF}, {1, 0}, {1, 1}};
  for (size_t index = 0; index < records.size(); ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(Val(records[index].Port), ports[index][0]);
    EXPECT_EQ(Val(records[index].PortMultiplierPort), ports[index][1]);
    EXPECT_EQ(Val(records[index].VendorId), 0x8086);
    EXPECT_EQ(Val(records[index].DeviceId), 0xFFFF);
    EXPECT_EQ(Val(records[index].ControllerHandle), s.controller.handle);
    EXPECT_NE(Val(records[index].DiskInfoHandle), nullptr);
    const UINT8 *copy = Val(records[index].IdentifyData);
    const auto &block = s.controller.ata->Drive(ports[index][0], ports[index][1])->identify;
    EXPECT_EQ(std::memcmp(copy, block.data(), 400), 0);  // SET FEATURES may clear a bit later on
    EXPECT_EQ(std::count(copy + 512, copy + 520, 0), 8);
  }
  EXPECT_NE(Val(records[0].DiskInfoHandle), Val(records[2].DiskInfoHandle));
}

TEST(AtaScan, OnlyAtaHardDisksThatAnswerAreRecorded) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  auto c = dp.AddController(0x8086, 0xA352, 0x17, 0);
  c.ata->Attach(0, 0xFFFF, disktest::Optical("DVD"));
  c.ata->Attach(1, 0xFFFF, disktest::Disk("FAILS", "F")).failCommand = 0xEC;
  auto &sleepy = c.ata->Attach(2, 0xFFFF, disktest::Disk("KEPT", "K", true));
  sleepy.failCommand = 0xEF;  // SET FEATURES failing does not matter
  dp.InstallPassThru(c);
  dp.InstallSataDiskInfo(c, 2, 0xFFFF, disktest::Disk("KEPT", "K"));
  dp.AnotherAtaPassThru();
  auto records = dp.AtaRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(Val(records[0].Port), 2);
  EXPECT_EQ(sleepy.packets.back().command, 0xEF);
}

TEST(AtaScan, ControllersByClassCodeAndTheirIds) {
  struct Case {
    const char *name;
    uint16_t vendor, device;
    uint8_t subClass, interface;
    bool kept;
    uint8_t kind;
    uint16_t storedDevice;
  };
  const Case cases[] = {
      {"IdeAnyInterface", 0x8086, 0x7010, 0x01, 0x8A, true, 0, 0xFFFF},
      {"AhciInterface1", 0x1022, 0x7901, 0x06, 0x01, true, 1, 0xFFFF},
      {"SataOtherInterface", 0x1B21, 0x0612, 0x06, 0x00, false, 0, 0},
      {"RaidInterface0", 0x1B4B, 0x9230, 0x04, 0x00, true, 2, 0x9230},
      {"RaidOtherInterface", 0x1B4B, 0x9230, 0x04, 0x01, false, 0, 0},
      {"NvmeNotKnown", 0x144D, 0xA80A, 0x08, 0x02, false, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    DiskPlatform dp;
    ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
    auto controller = dp.AddController(c.vendor, c.device, 0x11, 3, c.subClass, c.interface);
    dp.InstallPassThru(controller);
    DiskInfoPrivate *p = dp.Private();
    ASSERT_EQ(Val(p->ControllerCount), c.kept ? 1 : 0);
    if (!c.kept) continue;
    const StorageControllerRecord &r = *Val(p->ControllerTable);
    EXPECT_EQ(Val(r.ControllerKind), c.kind);
    EXPECT_EQ(Val(r.VendorId), c.vendor);
    EXPECT_EQ(Val(r.DeviceId), c.storedDevice);
    EXPECT_EQ(Val(r.PciDevice), 0x11u);
    EXPECT_EQ(Val(r.PciFunction), 3u);
    EXPECT_EQ(Val(r.ControllerHandle), controller.handle);
    const bool readDeviceId = std::count(controller.pci->reads.begin(), controller.pci->reads.end(),
                                         std::pair<uint32_t, uint32_t>{2, 2}) != 0;
    EXPECT_EQ(readDeviceId, c.storedDevice != 0xFFFF);
  }
}

TEST(AtaScan, WildcardRowsBindToTheFirstControllerOfAnotherVendor) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  SataPortMapRow *map = Val(dp.Private()->SataPortMap);
  map[0].VendorId = 0xFFFF;
  map[2].VendorId = 0xFFFF;
  map[3].VendorId = 0xFFFF;  // row 3 is never examined
  dp.AddController(0x8086, 0x1111, 0x17, 0);
  dp.AddController(0x1022, 0x2222, 0x11, 0);
  dp.AddController(0x1B21, 0x0612, 0x12, 0);
  auto last = dp.AddController(0x1B4B, 0x9230, 0x13, 0);
  dp.InstallPassThru(last);
  const uint16_t expected[4][3] = {{0x1B21, 0x0612, 0}, {0x8086, 0xFFFF, 1}, {0x1B21, 0x0612, 0}, {0xFFFF, 0x0122, 0}};
  for (int row = 0; row < 4; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(Val(map[row].VendorId), expected[row][0]);
    EXPECT_EQ(Val(map[row].DeviceId), expected[row][1]);
    EXPECT_EQ(Val(map[row].Port), expected[row][2]);
  }
}

// The drive scan waits for Disk Info handles and for pass-thru on every controller, then
// runs once; later notifications only rebuild the controller table.
TEST(AtaScan, RunsToItsEndOnceAndThenOnlyRebuildsTheControllerTable) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  auto first = dp.AddController(0x8086, 0xA352, 0x17, 0);
  auto second = dp.AddController(0x8086, 0xA353, 0x17, 1);
  first.ata->Attach(0, 0xFFFF, disktest::Disk("DISK", "S"));
  dp.InstallPassThru(first);
  dp.InstallSataDiskInfo(first, 0, 0xFFFF, disktest::Disk("DISK", "S"));
  EXPECT_EQ(Val(dp.Private()->AtaScanDone), 0) << "the second controller has no pass-thru yet";
  dp.InstallPassThru(second);
  ASSERT_EQ(Val(dp.Private()->AtaScanDone), 1);
  ASSERT_EQ(Val(dp.Private()->AtaDeviceCount), 1u);
  AtaDeviceRecord *records = Val(dp.Private()->AtaDeviceTable);
  const size_t packets = first.ata->Packets().size();

  dp.AnotherAtaPassThru();
  EXPECT_EQ(Val(dp.Private()->ControllerCount), 3);
  EXPECT_EQ(Val(dp.Private()->AtaDeviceTable), records);
  EXPECT_EQ(Val(dp.Private()->AtaDeviceCount), 1u);
  EXPECT_EQ(first.ata->Packets().size(), packets) << "no drive is asked again";
}

// No runtime pool for the drive records: no drive is recorded, and the scan keeps none
// of its working buffers.
TEST(AtaScan, WithoutPoolForTheRecordsNothingIsKeptOrLeaked) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  auto c = dp.AddController(0x8086, 0xA352, 0x17, 0);
  c.ata->Attach(0, 0xFFFF, disktest::Disk("DISK", "S"));
  c.ata->Attach(1, 0xFFFF, disktest::Disk("DISK", "T"));
  dp.InstallPassThru(c);
  dp.InstallSataDiskInfo(c, 0, 0xFFFF, disktest::Disk("DISK", "S"));
  const size_t before = dp.platform.Memory().DriverAllocations().size();
  dp.platform.Memory().Faults().failType = EfiRuntimeServicesData;
  dp.AnotherAtaPassThru();
  dp.platform.Memory().Faults() = {};
  EXPECT_EQ(Val(dp.Private()->AtaScanDone), 1);
  EXPECT_EQ(Val(dp.Private()->AtaDeviceCount), 0u);
  EXPECT_EQ(c.ata->Packets().size(), 2u) << "both drives were asked";
  // The controller table of this notification replaced the previous one.
  EXPECT_EQ(dp.platform.Memory().DriverAllocations().size(), before);
}

// Twelve drives behind port multipliers, each with Disk Info: the port map holds ten.
TEST(AtaScan, ThePortMapStopsAtTenEntries) {
  std::vector<std::tuple<uint16_t, uint16_t, sim::AtaIdentifyBlock>> drives;
  for (uint16_t pmp = 0; pmp < 12; ++pmp) drives.emplace_back(0, pmp, disktest::Disk("D" + std::to_string(pmp), "S"));
  ScannedController s(drives);
  auto records = s.dp.AtaRecords();
  ASSERT_EQ(records.size(), 12u);
  for (size_t index = 0; index < records.size(); ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(Val(records[index].DiskInfoHandle) != nullptr, index < 10);
  }
}

// A Disk Info installation while the ATA scan runs at TPL 9 is handled at once, at 16.
TEST(AtaScan, ADiskInfoInstalledDuringTheScanIsHandledFirst) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  auto c = dp.AddController(0x8086, 0xA352, 0x17, 0);
  c.ata->Attach(0, 0xFFFF, disktest::Disk("DISK", "S"));
  dp.InstallPassThru(c);
  dp.InstallSataDiskInfo(c, 0, 0xFFFF, disktest::Disk("DISK", "S"));
  bool seen = false;
  c.ata->beforeCommand = [&](const sim::AtaPacketRecord &) {
    if (seen) return;
    seen = true;
    dp.InstallSataDiskInfo(c, 3, 0xFFFF, disktest::Optical("LATE DVD"));
    EXPECT_EQ(Val(dp.Private()->OpticalCount), 1u) << "the TPL 16 notification ran inside the scan";
    EXPECT_EQ(Val(dp.Private()->AtaScanDone), 0);
  };
  dp.AnotherAtaPassThru();
  EXPECT_TRUE(seen);
  EXPECT_EQ(Val(dp.Private()->AtaScanDone), 1);
  EXPECT_EQ(Val(dp.Private()->AtaDeviceCount), 1u);
  // The scan runs at TPL 9, as the driver must, above the TPL_CALLBACK that storage I/O
  // allows: the platform keeps the finding visible, and it is the only kind there is.
  const auto findings = dp.platform.Trace().OfKind(sim::EffectKind::Finding);
  EXPECT_FALSE(findings.empty());
  for (const sim::Effect &finding : findings) {
    EXPECT_EQ(finding.what, "AtaPassThru.PassThru called at TPL 9, above its limit 8");
  }
}

// Storage that was up before the driver loaded is scanned only when another instance of
// the same protocol arrives.
TEST(AtaScan, StorageUpBeforeTheDriverWaitsForAnotherInstance) {
  DiskPlatform dp;
  sim::ConnectDefaultStorage(dp.bus);
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  DiskInfoPrivate *p = dp.Private();
  EXPECT_EQ(Val(p->ControllerCount), 0);
  EXPECT_EQ(Val(p->OpticalCount), 0u);
  EXPECT_EQ(Val(p->NvmeTable), nullptr);
  auto spare = dp.AddController(0x8086, 0xFFFF, 0x1F, 2);
  dp.InstallSataDiskInfo(spare, 5, 0xFFFF, disktest::Disk("SPARE", "S"));
  EXPECT_EQ(Val(p->OpticalCount), 1u);
  EXPECT_EQ(Val(p->AtaScanDone), 0);
  dp.InstallPassThru(spare);
  EXPECT_EQ(Val(p->AtaDeviceCount), 2u);
  EXPECT_EQ(Val(p->NvmeCount), 0u);
  dp.bus.InstallNvmePassThru(spare.handle, dp.bus.AddNvmeController(sim::MakeNvmeIdentify("N", "S"), {}));
  EXPECT_EQ(Val(p->NvmeCount), 1u) << "the default drive, found through the other instance";
}

}  // namespace
