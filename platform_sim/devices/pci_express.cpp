#include "platform_sim/devices/pci_express.h"

#include <cstring>

namespace sim {

PciFunction::PciFunction(uint16_t vendorId, uint16_t deviceId) {
  Set(0x00, 2, vendorId);
  Set(0x02, 2, deviceId);
}

void PciFunction::Set(uint32_t offset, unsigned width, uint64_t value) {
  if (offset + width > bytes_.size()) return;
  std::memcpy(&bytes_[offset], &value, width);  // little-endian host
}

uint64_t PciFunction::Read(uint32_t offset, unsigned width) const {
  if (offset + width > bytes_.size()) return ~0ull;
  uint64_t value = 0;
  std::memcpy(&value, &bytes_[offset], width);
  return readHook_ ? readHook_(offset, width, value) : value;
}

void PciFunction::Write(uint32_t offset, unsigned width, uint64_t value) {
  // The identification header is read-only.
  if (offset >= 0x04) Set(offset, width, value);
  if (writeHook_) writeHook_(offset, width, value);
}

PciFunction &PciExpressSpace::Add(uint8_t bus, uint8_t device, uint8_t function, uint16_t vendorId, uint16_t deviceId) {
  auto &slot = functions_[Key(bus, device, function)];
  slot = std::make_unique<PciFunction>(vendorId, deviceId);
  return *slot;
}

void PciExpressSpace::Remove(uint8_t bus, uint8_t device, uint8_t function) {
  functions_.erase(Key(bus, device, function));
}

PciFunction *PciExpressSpace::Find(uint8_t bus, uint8_t device, uint8_t function) {
  auto it = functions_.find(Key(bus, device, function));
  return it == functions_.end() ? nullptr : it->second.get();
}

uint64_t PciExpressSpace::MmioRead(uint64_t offset, unsigned width) {
  auto it = functions_.find(static_cast<uint32_t>(offset >> 12));
  if (it == functions_.end()) return ~0ull;
  return it->second->Read(static_cast<uint32_t>(offset & 0xFFF), width);
}

void PciExpressSpace::MmioWrite(uint64_t offset, unsigned width, uint64_t value) {
  auto it = functions_.find(static_cast<uint32_t>(offset >> 12));
  if (it != functions_.end()) it->second->Write(static_cast<uint32_t>(offset & 0xFFF), width, value);
}

}  // namespace sim
