// A platform with storage models, DiskInfoSetupDxe and the setup form, for the driver's
// scenarios on both engines.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "disk_info/disk_info.h"
#include "platform_sim/hii/hii_model.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"
#include "platform_sim/storage/storage_models.h"
#include "tests/support/sim_helpers.h"

namespace disktest {

constexpr char kDriver[] = "DiskInfoSetupDxe";

// A packed field read as a value (a reference to it would be misaligned).
template <typename T>
T Val(T value) {
  return value;
}

struct Controller {
  sim::PciFunctionModel *pci;
  EFI_HANDLE handle;
  sim::AtaControllerModel *ata;
  std::vector<uint8_t> path;  // without the end node
};

class DiskPlatform {
 public:
  DiskPlatform() : bus(platform) {}

  sim::LoadedImage &LoadDriver() { return platform.Load(kDriver); }

  // A PCI mass-storage function with its handle (no pass-thru yet).
  Controller AddController(uint16_t vendor, uint16_t device, uint8_t pciDevice, uint8_t pciFunction,
                           uint8_t subClass = 0x06, uint8_t interface = 0x01) {
    Controller c;
    c.pci = &bus.AddPciFunction(0, pciDevice, pciFunction, vendor, device, 0x01, subClass, interface);
    c.path = sim::DevicePathBytes().PciRoot().Pci(pciDevice, pciFunction).Nodes();
    c.handle = bus.InstallPciFunction(*c.pci, WithEnd(c.path));
    c.ata = &bus.AddAtaController();
    return c;
  }
  void InstallPassThru(Controller &c) { bus.InstallAtaPassThru(c.handle, *c.ata); }
  // Another ATA pass-thru instance arrives (a controller without drives), so the ATA
  // notification runs again.
  void AnotherAtaPassThru(uint8_t pciDevice = 0x1F, uint8_t pciFunction = 2) {
    Controller idle = AddController(0x8086, 0xFFFF, pciDevice, pciFunction);
    InstallPassThru(idle);
  }

  // The Disk Info instance the ATA bus driver installs for a drive on a SATA port.
  sim::DiskInfoModel &InstallSataDiskInfo(const Controller &c, uint16_t port, uint16_t pmp,
                                          const sim::AtaIdentifyBlock &identify) {
    sim::DiskInfoModel &info =
        bus.AddDiskInfo(gEfiDiskInfoAhciInterfaceGuid, std::vector<uint8_t>(identify.begin(), identify.end()));
    std::vector<uint8_t> path = c.path;
    auto node = sim::DevicePathBytes().Sata(port, pmp).Nodes();
    path.insert(path.end(), node.begin(), node.end());
    bus.InstallDiskInfo(info, WithEnd(path));
    return info;
  }

  static std::vector<uint8_t> WithEnd(std::vector<uint8_t> path) {
    path.insert(path.end(), {0x7F, 0xFF, 4, 0});
    return path;
  }

  DISK_INFO_FORM_PROTOCOL *Form() {
    return simtest::Locate<DISK_INFO_FORM_PROTOCOL>(platform, gDiskInfoFormProtocolGuid);
  }
  DiskInfoPrivate *Private() {
    auto *form = Form();
    return form == nullptr ? nullptr : PrivateFromForm(form);
  }
  std::vector<AtaDeviceRecord> AtaRecords() {
    DiskInfoPrivate *p = Private();
    return std::vector<AtaDeviceRecord>(p->AtaDeviceTable, p->AtaDeviceTable + p->AtaDeviceCount);
  }

  sim::Platform platform;
  sim::StorageBus bus;
};

inline sim::AtaIdentifyBlock Disk(const std::string &model, const std::string &serial, bool deviceSleep = false) {
  return sim::MakeAtaIdentify({model, serial, "1.0", false, deviceSleep});
}
inline sim::AtaIdentifyBlock Optical(const std::string &model) {
  return sim::MakeAtaIdentify({model, "", "1.0", true});
}

}  // namespace disktest
