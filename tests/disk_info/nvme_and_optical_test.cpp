// The NVMe notification's table and commands, and the optical drive through Disk Info.
#include "tests/disk_info/disk_fixture.h"

namespace {

using disktest::DiskPlatform;
using disktest::Val;

struct NvmeDrive {
  EFI_HANDLE handle;
  sim::NvmeControllerModel *model;
};

// An NVMe controller behind a root port, as the NVMe driver publishes it.
NvmeDrive AddNvme(DiskPlatform &dp, uint8_t rootDevice, uint8_t rootFunction, std::set<uint32_t> namespaces,
                  const std::string &model = "Samsung SSD 980 PRO 1TB", bool pciNode = true) {
  auto &pci = dp.bus.AddPciFunction(5, 0, 0, 0x144D, 0xA80A, 0x01, 0x08, 0x02);
  sim::DevicePathBytes path;
  path.PciRoot();
  if (pciNode) path.Pci(rootDevice, rootFunction).Pci(0, 0);
  EFI_HANDLE handle = dp.bus.InstallPciFunction(pci, path.End());
  auto &controller = dp.bus.AddNvmeController(sim::MakeNvmeIdentify(model, "S5GXNX0T123456A"), std::move(namespaces));
  dp.bus.InstallNvmePassThru(handle, controller);
  return {handle, &controller};
}

TEST(NvmeScan, EachNamespaceGivesARecordAndTheIdentifyCommandIsLaidOut) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  NvmeDrive drive = AddNvme(dp, 0x1D, 6, {1, 2});
  DiskInfoPrivate *p = dp.Private();
  ASSERT_EQ(Val(p->NvmeCount), 2u);
  const NvmeDriveRecord *records = Val(p->NvmeTable);
  EXPECT_EQ(Val(records[0].PciDevice), 0x1D);
  EXPECT_EQ(Val(records[0].PciFunction), 6);
  EXPECT_EQ(Val(records[0].NamespaceId), 1u);
  EXPECT_EQ(Val(records[1].PciDevice), 0);
  EXPECT_EQ(Val(records[1].PciFunction), 0);
  EXPECT_EQ(Val(records[1].NamespaceId), 2u);
  EXPECT_EQ(std::memcmp(records[0].ModelName, records[1].ModelName, 100), 0);
  EXPECT_EQ(std::u16string(records[0].ModelName), u"Samsung SSD 980 PRO 1TB                 ");

  const auto &commands = drive.model->Commands();
  ASSERT_EQ(commands.size(), 2u);
  const uint32_t sent[] = {0, 2};  // namespace 1 is asked through namespace 0
  for (size_t index = 0; index < 2; ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(commands[index].passThruNamespace, sent[index]);
    EXPECT_EQ(commands[index].nsid, sent[index]);
    EXPECT_EQ(commands[index].opcode, 0x06);
    EXPECT_EQ(commands[index].fused, 0);
    EXPECT_EQ(commands[index].flags, 0x04);
    EXPECT_EQ(commands[index].cdw10, 1u);
    EXPECT_EQ(commands[index].timeout, 50000000u);
    EXPECT_EQ(commands[index].transferLength, 4096u);
    EXPECT_EQ(commands[index].queueType, 0);
    EXPECT_FALSE(commands[index].metadata);
  }
  EXPECT_TRUE(drive.model->Faults().empty());

  // Slot 1 of the form is the drive behind 0:1D.6.
  sim::SetupForm form(dp.platform);
  form.CallFillForm(2);
  EXPECT_EQ(form.Render("en-US")[2], "  HDD Model Name: Samsung SSD 980 PRO 1TB                 ");
}

TEST(NvmeScan, EveryInstallationRebuildsTheTableFromAllInstances) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  AddNvme(dp, 0x1D, 0, {1}, "FIRST");
  NvmeDriveRecord *table = Val(dp.Private()->NvmeTable);
  AddNvme(dp, 0x1C, 0, {1}, "SECOND");
  EXPECT_EQ(Val(dp.Private()->NvmeTable), table) << "the table is reused";
  ASSERT_EQ(Val(dp.Private()->NvmeCount), 2u);
  EXPECT_EQ(std::u16string(table[1].ModelName).substr(0, 6), u"SECOND");
}

TEST(NvmeScan, NamespacesThatGiveNoRecord) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  NvmeDrive failing = AddNvme(dp, 0x1D, 0, {3, 4});
  failing.model->failNamespaces = {3};
  AddNvme(dp, 0, 0, {1}, "NO PCI NODE", false);
  ASSERT_EQ(Val(dp.Private()->NvmeCount), 1u) << "namespace 4 only";
  EXPECT_EQ(Val(Val(dp.Private()->NvmeTable)[0].NamespaceId), 4u);
}

// Twelve namespaces in one run: ten records. A write past the table lands in the arena's
// poisoned red zone, which fails the test on the host engine.
TEST(NvmeScan, TheTableStopsAtTenRecords) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  AddNvme(dp, 0x1D, 0, {1});
  const uint8_t *table = reinterpret_cast<const uint8_t *>(Val(dp.Private()->NvmeTable));
  const sim::Allocation *block = dp.platform.Memory().Find(reinterpret_cast<uint64_t>(table));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->size, 2060u);
  std::set<uint32_t> many;
  for (uint32_t id = 2; id <= 13; ++id) many.insert(id);
  AddNvme(dp, 0x1C, 0, many);
  EXPECT_EQ(Val(dp.Private()->NvmeCount), 10u);
  EXPECT_EQ(Val(reinterpret_cast<const NvmeDriveRecord *>(table)[9].NamespaceId), 10u);
}

TEST(OpticalScan, WhichDiskInfoInstancesGiveTheOpticalRecord) {
  struct Case {
    const char *name;
    std::vector<uint8_t> node;
    bool packet;
    bool identifyCalled;
    bool recorded;
  };
  const Case cases[] = {
      {"SataOptical", sim::DevicePathBytes().Sata(2, 0xFFFF).Nodes(), true, true, true},
      {"IdeOptical", sim::DevicePathBytes().Atapi(1, 0).Nodes(), true, true, true},
      {"SataHardDisk", sim::DevicePathBytes().Sata(0, 0xFFFF).Nodes(), false, true, false},
      {"UsbDrive", sim::DevicePathBytes().Usb(3, 0).Nodes(), true, false, false},
      {"NvmeDrive", sim::DevicePathBytes().Pci(0, 0).Nvme(1).Nodes(), false, false, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    DiskPlatform dp;
    ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
    auto block = c.packet ? disktest::Optical("HL-DT-ST DVDRAM GUD1N") : disktest::Disk("DISK", "S");
    auto &info = dp.bus.AddDiskInfo(gEfiDiskInfoAhciInterfaceGuid, std::vector<uint8_t>(block.begin(), block.end()));
    std::vector<uint8_t> path = sim::DevicePathBytes().PciRoot().Pci(0x17, 0).Nodes();
    path.insert(path.end(), c.node.begin(), c.node.end());
    dp.bus.InstallDiskInfo(info, DiskPlatform::WithEnd(path));
    EXPECT_EQ(!info.identifySizes.empty(), c.identifyCalled);
    DiskInfoPrivate *p = dp.Private();
    ASSERT_EQ(Val(p->OpticalCount), c.recorded ? 1u : 0u);
    EXPECT_EQ(simtest::NotifyEvents(dp.platform, disktest::kDriver, gEfiDiskInfoProtocolGuid).size(),
              c.recorded ? 0u : 1u);
    if (c.recorded) {
      EXPECT_EQ(std::memcmp(Val(p->OpticalTable), block.data(), 512), 0);
    }
  }
}

// A drive asks for more than 520 bytes; the next handle is asked with at most 520, so
// the 520-byte buffer is never overrun; after the record the event is closed.
TEST(OpticalScan, TheIdentifySizeCarriesToTheNextHandleAndIsClampedTo520) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  auto controller = dp.AddController(0x8086, 0xFFFF, 0x17, 0);
  auto disk = disktest::Disk("DISK", "S");
  auto optical = disktest::Optical("DVD-ROM");
  auto &greedy =
      dp.bus.AddDiskInfo(gEfiDiskInfoAhciInterfaceGuid, std::vector<uint8_t>(disk.begin(), disk.end()), 4096);
  dp.bus.InstallDiskInfo(greedy,
                         DiskPlatform::WithEnd(sim::DevicePathBytes().PciRoot().Pci(0x17, 0).Sata(0, 0xFFFF).Nodes()));
  EXPECT_EQ(greedy.identifySizes, (std::vector<uint32_t>{520}));
  auto &small = dp.bus.AddDiskInfo(gEfiDiskInfoAhciInterfaceGuid,
                                   std::vector<uint8_t>(optical.begin(), optical.begin() + 512), 512);
  auto &late = dp.bus.AddDiskInfo(gEfiDiskInfoAhciInterfaceGuid, std::vector<uint8_t>(optical.begin(), optical.end()));
  dp.bus.InstallDiskInfo(late,
                         DiskPlatform::WithEnd(sim::DevicePathBytes().PciRoot().Pci(0x17, 0).Sata(1, 0xFFFF).Nodes()));
  // This run: the greedy handle reports 4096; the next one is asked with 520, not 4096.
  EXPECT_EQ(greedy.identifySizes, (std::vector<uint32_t>{520, 520}));
  EXPECT_EQ(late.identifySizes, (std::vector<uint32_t>{520}));
  ASSERT_EQ(Val(dp.Private()->OpticalCount), 1u);
  const uint8_t *record = Val(dp.Private()->OpticalTable);
  EXPECT_EQ(std::memcmp(record, optical.data(), 512), 0);
  EXPECT_EQ(std::count(record + 512, record + 520, 0), 8);
  // Closed: a later instance is not looked at.
  dp.bus.InstallDiskInfo(small,
                         DiskPlatform::WithEnd(sim::DevicePathBytes().PciRoot().Pci(0x17, 0).Sata(2, 0xFFFF).Nodes()));
  EXPECT_TRUE(small.identifySizes.empty());
  EXPECT_EQ(Val(dp.Private()->OpticalTable), record);
  (void)controller;
}

}  // namespace
