// The storage a platform brings up: its PCI storage controllers (and the bridges they sit
// behind) in bring-up order, the SATA drives on each AHCI controller's ports and the
// NVMe drives' namespaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform_sim/storage/identify_blocks.h"

namespace sim {

class StorageBus;

enum class StorageKind {
  Ahci,    // an AHCI controller (class 01/06/01) with ATA pass-thru
  Nvme,    // an NVMe controller (class 01/08/02) with NVMe pass-thru
  Bridge,  // a PCI-to-PCI bridge (class 06/04/00): a handle with PCI I/O, no storage
};

// One PCI node of a device path, below PciRoot(0).
struct PciPathNode {
  uint8_t device = 0;
  uint8_t function = 0;
};

// A drive on an AHCI port, directly (port multiplier port 0xFFFF) or behind a port
// multiplier.
struct AhciDriveProfile {
  uint16_t port = 0;
  uint16_t portMultiplierPort = 0xFFFF;
  AtaDriveIdentity identity;
};

struct StorageControllerProfile {
  StorageKind kind = StorageKind::Ahci;
  uint8_t bus = 0;
  uint8_t device = 0;
  uint8_t function = 0;
  uint16_t vendorId = 0;
  uint16_t deviceId = 0;
  // The PCI nodes of the function's device path, from the root bridge down; the last is
  // the function itself.
  std::vector<PciPathNode> path;
  std::vector<AhciDriveProfile> drives;  // Ahci only
  // Nvme only: the Identify Controller texts and the active namespaces in order.
  std::string model;
  std::string serial;
  std::vector<uint32_t> namespaces;
};

// The controllers in bring-up order.
using StorageProfile = std::vector<StorageControllerProfile>;

// An Intel AHCI controller with two SATA disks and a SATA optical drive, an add-in AHCI
// controller without drives behind root port 0:1C.4, and an NVMe drive behind root port
// 0:1D.0.
StorageProfile DefaultStorageProfile();

// Brings the storage up as the bus drivers do: every PCI function (in the profile's
// order), then per controller its pass-thru and the Disk Info instances of its drives.
void ConnectStorage(StorageBus &bus, const StorageProfile &storage);

}  // namespace sim
