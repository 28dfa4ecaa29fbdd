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
  map.ClaimPorts(kPm1Control, 2, this);
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

uint16_t PowerManagementController::SleepRequest(int state) {
  return static_cast<uint16_t>((kSleepTypeOfState[state] << kSleepTypeShift) | kSleepEnable);
}

uint64_t PowerManagementController::IoRead(uint16_t port, unsigned) { return port == kPm1Control ? pm1Control_ : 0; }

void PowerManagementController::IoWrite(uint16_t port, unsigned, uint64_t value) {
  if (port != kPm1Control) return;
  // SLP_EN is write-only: it starts the transition and always reads 0.
  pm1Control_ = static_cast<uint16_t>(value & ~kSleepEnable);
  if ((value & kSleepEnable) == 0) return;
  if (sleepSmiEnabled_ && raiseSmi_) {
    sleepSmiPending_ = true;
    raiseSmi_();
    return;
  }
  EnterRequestedState();
}

std::optional<int> PowerManagementController::RequestedSleepState() const {
  uint32_t type = (pm1Control_ & kSleepTypeMask) >> kSleepTypeShift;
  for (int state = 0; state < 6; ++state) {
    if (kSleepTypeOfState[state] == type) return state;
  }
  return std::nullopt;
}

void PowerManagementController::CompleteSleep() {
  sleepSmiPending_ = false;
  EnterRequestedState();
}

void PowerManagementController::EnterRequestedState() {
  std::optional<int> state = RequestedSleepState();
  if (!state || *state == 0) return;
  sleepState_ = *state;
  if (sleepObserver_) sleepObserver_(*state);
}

}  // namespace sim
