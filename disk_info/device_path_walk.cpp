// Device path walks of the scans.
#include "disk_info/disk_info.h"
#include "runtime/base/device_path.h"

VOID FindStorageNodes(EFI_DEVICE_PATH_PROTOCOL *Path, PCI_DEVICE_PATH **LastPci, EFI_DEVICE_PATH_PROTOCOL **AtaNode) {
  *LastPci = nullptr;
  *AtaNode = nullptr;
  for (EFI_DEVICE_PATH_PROTOCOL *Node = Path; !IsDevicePathEnd(Node);
       Node = (EFI_DEVICE_PATH_PROTOCOL *)NextDevicePathNode(Node)) {
    // A node shorter than its header would never advance.
    if (DevicePathNodeLength(Node) < sizeof(EFI_DEVICE_PATH_PROTOCOL)) {
      return;
    }
    if (DevicePathType(Node) == HARDWARE_DEVICE_PATH && DevicePathSubType(Node) == HW_PCI_DP) {
      *LastPci = (PCI_DEVICE_PATH *)Node;
    }
    if (DevicePathType(Node) == MESSAGING_DEVICE_PATH &&
        (DevicePathSubType(Node) == MSG_ATAPI_DP || DevicePathSubType(Node) == MSG_SATA_DP)) {
      *AtaNode = Node;
      return;
    }
  }
}
