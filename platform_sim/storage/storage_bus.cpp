#include "platform_sim/platform.h"
#include "platform_sim/storage/storage_models.h"

namespace sim {

PciFunctionModel &StorageBus::AddPciFunction(uint8_t bus, uint8_t device, uint8_t function, uint16_t vendor,
                                             uint16_t deviceId, uint8_t baseClass, uint8_t subClass,
                                             uint8_t interface) {
  pci_.push_back(
      std::make_unique<PciFunctionModel>(bus, device, function, vendor, deviceId, baseClass, subClass, interface));
  return *pci_.back();
}

EFI_HANDLE StorageBus::InstallPciFunction(PciFunctionModel &function, const std::vector<uint8_t> &path) {
  ActorScope actor(platform_, "PCI bus driver");
  EFI_HANDLE handle = nullptr;
  platform_.Core().Protocols().InstallMultiple(
      &handle,
      {{gEfiDevicePathProtocolGuid, PublishDevicePath(platform_.Memory(), path)},
       {gEfiPciIoProtocolGuid, function.Publish(platform_.Memory())}},
      platform_.Actor());
  return handle;
}

AtaControllerModel &StorageBus::AddAtaController(uint32_t ioAlign) {
  ata_.push_back(std::make_unique<AtaControllerModel>(ioAlign));
  return *ata_.back();
}

void StorageBus::InstallAtaPassThru(EFI_HANDLE controller, AtaControllerModel &model) {
  ActorScope actor(platform_, "ATA controller driver");
  EFI_HANDLE handle = controller;
  platform_.Core().Protocols().Install(&handle, gEfiAtaPassThruProtocolGuid, model.Publish(platform_.Memory()),
                                       platform_.Actor());
}

NvmeControllerModel &StorageBus::AddNvmeController(std::vector<uint8_t> identify, std::set<uint32_t> namespaces,
                                                   uint32_t ioAlign) {
  nvme_.push_back(std::make_unique<NvmeControllerModel>(std::move(identify), std::move(namespaces), ioAlign));
  return *nvme_.back();
}

void StorageBus::InstallNvmePassThru(EFI_HANDLE controller, NvmeControllerModel &model) {
  ActorScope actor(platform_, "NVMe driver");
  EFI_HANDLE handle = controller;
  platform_.Core().Protocols().Install(&handle, gEfiNvmExpressPassThruProtocolGuid, model.Publish(platform_.Memory()),
                                       platform_.Actor());
}

DiskInfoModel &StorageBus::AddDiskInfo(const EFI_GUID &interface, std::vector<uint8_t> identify,
                                       uint32_t reportedSize) {
  diskInfo_.push_back(std::make_unique<DiskInfoModel>(interface, std::move(identify), reportedSize));
  return *diskInfo_.back();
}

EFI_HANDLE StorageBus::InstallDiskInfo(DiskInfoModel &model, const std::vector<uint8_t> &path) {
  ActorScope actor(platform_, "storage bus driver");
  EFI_HANDLE handle = nullptr;
  platform_.Core().Protocols().InstallMultiple(
      &handle,
      {{gEfiDevicePathProtocolGuid, PublishDevicePath(platform_.Memory(), path)},
       {gEfiDiskInfoProtocolGuid, model.Publish(platform_.Memory())}},
      platform_.Actor());
  return handle;
}

}  // namespace sim
