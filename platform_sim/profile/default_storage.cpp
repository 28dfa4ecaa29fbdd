#include "platform_sim/profile/default_storage.h"

namespace sim {

StorageProfile DefaultStorageProfile() {
  StorageControllerProfile sata{StorageKind::Ahci, 0, 0x17, 0, 0x8086, 0x7AE2, {{0x17, 0}}, {}, "", "", {}};
  sata.drives = {
      {0, 0xFFFF, {"Samsung SSD 870 EVO 500GB", "S62ANJ0R412345K", "SVT02B6Q", false, true}},
      {1, 0xFFFF, {"WDC WD10EZEX-08WN4A0", "WD-WCC6Y3KJ5921", "01.01A01"}},
      {2, 0xFFFF, {"HL-DT-ST DVDRAM GUD1N", "KZ7E6JD1234", "LD02", true}},
  };
  const StorageControllerProfile addIn{StorageKind::Ahci, 4, 0, 0, 0x1B21, 0x1164, {{0x1C, 4}, {0, 0}}, {}, "", "", {}};
  const StorageControllerProfile rootPort{StorageKind::Bridge, 0, 0x1D, 0, 0x8086, 0x7AB0, {{0x1D, 0}}, {}, "", "", {}};
  const StorageControllerProfile nvme{
      StorageKind::Nvme, 3,  0, 0, 0x144D, 0xA80A, {{0x1D, 0}, {0, 0}}, {}, "Samsung SSD 980 PRO 1TB",
      "S5GXNX0T123456A", {1}};
  return {sata, addIn, rootPort, nvme};
}

void ConnectDefaultStorage(StorageBus &bus) { ConnectStorage(bus, DefaultStorageProfile()); }

}  // namespace sim
