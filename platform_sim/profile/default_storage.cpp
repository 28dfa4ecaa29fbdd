#include "platform_sim/profile/default_storage.h"

namespace sim {

void ConnectDefaultStorage(StorageBus &bus) {
  // PCI enumeration.
  PciFunctionModel &sata = bus.AddPciFunction(0, 0x17, 0, 0x8086, 0x7AE2, 0x01, 0x06, 0x01);
  PciFunctionModel &addIn = bus.AddPciFunction(4, 0x00, 0, 0x1B21, 0x1164, 0x01, 0x06, 0x01);
  PciFunctionModel &rootPort = bus.AddPciFunction(0, 0x1D, 0, 0x8086, 0x7AB0, 0x06, 0x04, 0x00);
  PciFunctionModel &nvme = bus.AddPciFunction(3, 0x00, 0, 0x144D, 0xA80A, 0x01, 0x08, 0x02);
  const auto sataPath = DevicePathBytes().PciRoot().Pci(0x17, 0);
  const auto addInPath = DevicePathBytes().PciRoot().Pci(0x1C, 4).Pci(0, 0);
  const auto nvmePath = DevicePathBytes().PciRoot().Pci(0x1D, 0).Pci(0, 0);
  EFI_HANDLE sataHandle = bus.InstallPciFunction(sata, sataPath.End());
  EFI_HANDLE addInHandle = bus.InstallPciFunction(addIn, addInPath.End());
  bus.InstallPciFunction(rootPort, DevicePathBytes().PciRoot().Pci(0x1D, 0).End());
  EFI_HANDLE nvmeHandle = bus.InstallPciFunction(nvme, nvmePath.End());

  // The chipset's AHCI controller and the drives the ATA bus driver finds on it.
  AtaControllerModel &ahci = bus.AddAtaController();
  const auto disk0 = MakeAtaIdentify({"Samsung SSD 870 EVO 500GB", "S62ANJ0R412345K", "SVT02B6Q", false, true});
  const auto disk1 = MakeAtaIdentify({"WDC WD10EZEX-08WN4A0", "WD-WCC6Y3KJ5921", "01.01A01"});
  const auto optical = MakeAtaIdentify({"HL-DT-ST DVDRAM GUD1N", "KZ7E6JD1234", "LD02", true});
  ahci.Attach(0, 0xFFFF, disk0);
  ahci.Attach(1, 0xFFFF, disk1);
  ahci.Attach(2, 0xFFFF, optical);
  bus.InstallAtaPassThru(sataHandle, ahci);
  const std::pair<uint16_t, const AtaIdentifyBlock *> drives[] = {{0, &disk0}, {1, &disk1}, {2, &optical}};
  for (const auto &[port, identify] : drives) {
    DiskInfoModel &info =
        bus.AddDiskInfo(gEfiDiskInfoAhciInterfaceGuid, std::vector<uint8_t>(identify->begin(), identify->end()));
    bus.InstallDiskInfo(info, DevicePathBytes(sataPath).Sata(port, 0xFFFF).End());
  }
  // The add-in controller has no drives attached.
  bus.InstallAtaPassThru(addInHandle, bus.AddAtaController());

  // The NVMe drive and its namespace.
  std::vector<uint8_t> controller = MakeNvmeIdentify("Samsung SSD 980 PRO 1TB", "S5GXNX0T123456A");
  NvmeControllerModel &drive = bus.AddNvmeController(controller, {1});
  bus.InstallNvmePassThru(nvmeHandle, drive);
  DiskInfoModel &nvmeInfo = bus.AddDiskInfo(gEfiDiskInfoNvmeInterfaceGuid,
                                            std::vector<uint8_t>(controller.begin(), controller.begin() + 512));
  bus.InstallDiskInfo(nvmeInfo, DevicePathBytes(nvmePath).Nvme(1).End());
}

}  // namespace sim
