#include <cstring>

#include "platform_sim/memory/arena.h"
#include "platform_sim/storage/storage_models.h"

namespace sim {

void DevicePathBytes::Node(uint8_t type, uint8_t subType, const std::vector<uint8_t> &data) {
  const size_t length = 4 + data.size();
  bytes_.push_back(type);
  bytes_.push_back(subType);
  bytes_.push_back(static_cast<uint8_t>(length));
  bytes_.push_back(static_cast<uint8_t>(length >> 8));
  bytes_.insert(bytes_.end(), data.begin(), data.end());
}

DevicePathBytes &DevicePathBytes::PciRoot(uint32_t uid) {
  const uint32_t hid = 0x0A0341D0;  // PNP0A03
  Node(ACPI_DEVICE_PATH, ACPI_DP,
       {static_cast<uint8_t>(hid), static_cast<uint8_t>(hid >> 8), static_cast<uint8_t>(hid >> 16),
        static_cast<uint8_t>(hid >> 24), static_cast<uint8_t>(uid), static_cast<uint8_t>(uid >> 8),
        static_cast<uint8_t>(uid >> 16), static_cast<uint8_t>(uid >> 24)});
  return *this;
}

DevicePathBytes &DevicePathBytes::Pci(uint8_t device, uint8_t function) {
  Node(HARDWARE_DEVICE_PATH, HW_PCI_DP, {function, device});
  return *this;
}

DevicePathBytes &DevicePathBytes::Sata(uint16_t port, uint16_t pmp) {
  Node(MESSAGING_DEVICE_PATH, MSG_SATA_DP,
       {static_cast<uint8_t>(port), static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(pmp),
        static_cast<uint8_t>(pmp >> 8), 0, 0});
  return *this;
}

DevicePathBytes &DevicePathBytes::Atapi(uint8_t primarySecondary, uint8_t slaveMaster) {
  Node(MESSAGING_DEVICE_PATH, MSG_ATAPI_DP, {primarySecondary, slaveMaster, 0, 0});
  return *this;
}

DevicePathBytes &DevicePathBytes::Nvme(uint32_t namespaceId) {
  std::vector<uint8_t> data(12, 0);
  std::memcpy(data.data(), &namespaceId, 4);
  Node(MESSAGING_DEVICE_PATH, MSG_NVME_NAMESPACE_DP, data);
  return *this;
}

DevicePathBytes &DevicePathBytes::Usb(uint8_t parentPort, uint8_t interface) {
  Node(MESSAGING_DEVICE_PATH, 0x05, {parentPort, interface});
  return *this;
}

std::vector<uint8_t> DevicePathBytes::End() const {
  std::vector<uint8_t> path = bytes_;
  path.insert(path.end(), {0x7F, 0xFF, 4, 0});
  return path;
}

EFI_DEVICE_PATH_PROTOCOL *PublishDevicePath(Arena &arena, const std::vector<uint8_t> &bytes) {
  auto *copy = static_cast<uint8_t *>(arena.AllocateFirmware(bytes.size()));
  std::memcpy(copy, bytes.data(), bytes.size());
  return reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(copy);
}

}  // namespace sim
