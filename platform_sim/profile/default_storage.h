// The default platform's storage: an Intel AHCI controller with two SATA disks and a
// SATA optical drive, an add-in AHCI controller without drives, and an NVMe drive behind
// root port 0:1D.0.
#pragma once

#include "platform_sim/storage/storage_models.h"

namespace sim {

// Brings the storage up as the bus drivers do: PCI functions, then the Intel AHCI
// pass-thru and the Disk Info instances of its drives, then the add-in controller's
// pass-thru, then the NVMe pass-thru and its namespace's Disk Info.
void ConnectDefaultStorage(StorageBus &bus);

}  // namespace sim
