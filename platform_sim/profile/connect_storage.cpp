#include "platform_sim/profile/storage_profile.h"
#include "platform_sim/storage/storage_models.h"
#include "runtime/uefi/guids.h"

namespace sim {

namespace {

struct ClassCode {
  uint8_t base, sub, interface;
};

ClassCode ClassOf(StorageKind kind) {
  switch (kind) {
    case StorageKind::Ahci: return {0x01, 0x06, 0x01};
    case StorageKind::Nvme: return {0x01, 0x08, 0x02};
    case StorageKind::Bridge: break;
  }
  return {0x06, 0x04, 0x00};
}

DevicePathBytes PathOf(const StorageControllerProfile &controller) {
  DevicePathBytes path;
  path.PciRoot();
  for (const PciPathNode &node : controller.path) path.Pci(node.device, node.function);
  return path;
}

void ConnectAhci(StorageBus &bus, EFI_HANDLE handle, const StorageControllerProfile &controller) {
  AtaControllerModel &ahci = bus.AddAtaController();
  std::vector<AtaIdentifyBlock> identify;
  for (const AhciDriveProfile &drive : controller.drives) {
    identify.push_back(MakeAtaIdentify(drive.identity));
    ahci.Attach(drive.port, drive.portMultiplierPort, identify.back());
  }
  bus.InstallAtaPassThru(handle, ahci);
  for (size_t index = 0; index < controller.drives.size(); ++index) {
    const AhciDriveProfile &drive = controller.drives[index];
    DiskInfoModel &info = bus.AddDiskInfo(gEfiDiskInfoAhciInterfaceGuid,
                                          std::vector<uint8_t>(identify[index].begin(), identify[index].end()));
    bus.InstallDiskInfo(info, PathOf(controller).Sata(drive.port, drive.portMultiplierPort).End());
  }
}

void ConnectNvme(StorageBus &bus, EFI_HANDLE handle, const StorageControllerProfile &controller) {
  const std::vector<uint8_t> identify = MakeNvmeIdentify(controller.model, controller.serial, controller.vendorId);
  NvmeControllerModel &nvme =
      bus.AddNvmeController(identify, std::set<uint32_t>(controller.namespaces.begin(), controller.namespaces.end()));
  bus.InstallNvmePassThru(handle, nvme);
  // The NVMe bus driver's Disk Info answers with the first 512 bytes of the controller's
  // Identify data for every namespace.
  for (uint32_t namespaceId : controller.namespaces) {
    DiskInfoModel &info =
        bus.AddDiskInfo(gEfiDiskInfoNvmeInterfaceGuid, std::vector<uint8_t>(identify.begin(), identify.begin() + 512));
    bus.InstallDiskInfo(info, PathOf(controller).Nvme(namespaceId).End());
  }
}

}  // namespace

void ConnectStorage(StorageBus &bus, const StorageProfile &storage) {
  // PCI enumeration first, as the PCI bus driver does it.
  std::vector<PciFunctionModel *> functions;
  for (const StorageControllerProfile &controller : storage) {
    const ClassCode code = ClassOf(controller.kind);
    functions.push_back(&bus.AddPciFunction(controller.bus, controller.device, controller.function, controller.vendorId,
                                            controller.deviceId, code.base, code.sub, code.interface));
  }
  std::vector<EFI_HANDLE> handles;
  for (size_t index = 0; index < storage.size(); ++index) {
    handles.push_back(bus.InstallPciFunction(*functions[index], PathOf(storage[index]).End()));
  }
  // Then the controller drivers and the drives they find.
  for (size_t index = 0; index < storage.size(); ++index) {
    switch (storage[index].kind) {
      case StorageKind::Ahci: ConnectAhci(bus, handles[index], storage[index]); break;
      case StorageKind::Nvme: ConnectNvme(bus, handles[index], storage[index]); break;
      case StorageKind::Bridge: break;
    }
  }
}

}  // namespace sim
