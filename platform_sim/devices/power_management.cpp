#include "platform_sim/devices/power_management.h"

#include <cstring>

namespace sim {

void PowerManagementController::Attach(AddressMap &map, PciExpressSpace &pci) {
  map_ = &map;
  PciFunction &function = pci.Add(kBus, kDevice, kFunction, kVendorId, kDeviceId);
  function.Set(kPwrmBaseRegister, 4, kDefaultPwrmBase);
  function.OnWrite([this, &function](uint32_t offset, unsigned width, uint64_t) {
    if (offset < kPwrmBaseRegister + 4 && offset + width > kPwrmBaseRegister) {
      Rebase(function.Read(kPwrmBaseRegister, 4) & kPwrmBaseMask);
    }
  });
  Rebase(kDefaultPwrmBase);
}

void PowerManagementController::Rebase(uint64_t base) {
  map_->ReleaseMmio(this);
  base_ = base;
  // A cleared base decodes nothing.
  if (base_ != 0) map_->ClaimMmio(base_, kPwrmSize, this);
}

void PowerManagementController::SetTraceHubDisabled(bool disabled) {
  if (disabled) {
    registers_[kTraceHubControl] |= kTraceHubDisabled;
  } else {
    registers_[kTraceHubControl] &= static_cast<uint8_t>(~kTraceHubDisabled);
  }
}

bool PowerManagementController::TraceHubDisabled() const {
  return (registers_[kTraceHubControl] & kTraceHubDisabled) != 0;
}

uint64_t PowerManagementController::MmioRead(uint64_t offset, unsigned width) {
  uint64_t value = 0;
  std::memcpy(&value, &registers_[offset], width);  // little-endian host
  return value;
}

void PowerManagementController::MmioWrite(uint64_t offset, unsigned width, uint64_t value) {
  std::memcpy(&registers_[offset], &value, width);
}

}  // namespace sim
