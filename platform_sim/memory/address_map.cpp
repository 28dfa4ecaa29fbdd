#include "platform_sim/memory/address_map.h"

#include <algorithm>

namespace sim {

void AddressMap::ClaimPorts(uint16_t first, uint16_t count, IoDevice *device) {
  for (uint32_t port = first; port < static_cast<uint32_t>(first) + count; ++port) {
    ports_[static_cast<uint16_t>(port)] = device;
  }
}

void AddressMap::ClaimMmio(uint64_t base, uint64_t size, MmioDevice *device) { mmio_.push_back({base, size, device}); }

void AddressMap::ReleaseMmio(MmioDevice *device) {
  mmio_.erase(std::remove_if(mmio_.begin(), mmio_.end(), [&](const MmioRange &r) { return r.device == device; }),
              mmio_.end());
}

void AddressMap::Record(BusAccess::Kind kind, uint64_t address, unsigned width, uint64_t value) {
  if (logging_) log_.push_back({kind, address, width, value});
}

uint64_t AddressMap::IoRead(uint16_t port, unsigned width) {
  auto it = ports_.find(port);
  uint64_t value = it == ports_.end() ? AllOnes(width) : it->second->IoRead(port, width) & AllOnes(width);
  Record(BusAccess::Kind::IoRead, port, width, value);
  return value;
}

void AddressMap::IoWrite(uint16_t port, unsigned width, uint64_t value) {
  value &= AllOnes(width);
  Record(BusAccess::Kind::IoWrite, port, width, value);
  auto it = ports_.find(port);
  if (it != ports_.end()) it->second->IoWrite(port, width, value);
}

uint64_t AddressMap::MmioRead(uint64_t address, unsigned width) {
  uint64_t value = AllOnes(width);
  for (const MmioRange &range : mmio_) {
    if (address >= range.base && address - range.base + width <= range.size) {
      value = range.device->MmioRead(address - range.base, width) & AllOnes(width);
      break;
    }
  }
  Record(BusAccess::Kind::MmioRead, address, width, value);
  return value;
}

void AddressMap::MmioWrite(uint64_t address, unsigned width, uint64_t value) {
  value &= AllOnes(width);
  Record(BusAccess::Kind::MmioWrite, address, width, value);
  for (const MmioRange &range : mmio_) {
    if (address >= range.base && address - range.base + width <= range.size) {
      range.device->MmioWrite(address - range.base, width, value);
      return;
    }
  }
}

}  // namespace sim
