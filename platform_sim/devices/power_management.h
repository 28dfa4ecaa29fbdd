// The power management controller at PCI 0:31.2: its configuration header, the PWRM
// base in register 0x48 and the PWRM MMIO space behind it, which holds the trace-hub
// disable bit (bit 0 of offset 0x5D0). Moving the base in register 0x48 moves the space.
// In I/O space, the ACPI PM1 control register: the operating system enters a sleep
// state by writing SLP_TYP with SLP_EN; with SMI-on-sleep enabled that raises an SMI
// instead, and the SMM handler completes the transition.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform_sim/devices/pci_express.h"
#include "platform_sim/memory/address_map.h"

namespace sim {

class PowerManagementController : public MmioDevice, public IoDevice {
 public:
  static constexpr uint16_t kAcpiBase = 0x1800;
  static constexpr uint16_t kPm1Control = kAcpiBase + 0x04;
  static constexpr uint32_t kSleepTypeShift = 10;
  static constexpr uint32_t kSleepTypeMask = 0x7u << kSleepTypeShift;
  static constexpr uint32_t kSleepEnable = 1u << 13;
  // SLP_TYP values of S0 to S5 on this platform (the ACPI tables' \_Sx packages).
  static constexpr uint8_t kSleepTypeOfState[6] = {0, 1, 2, 5, 6, 7};

  static constexpr uint8_t kBus = 0, kDevice = 31, kFunction = 2;
  static constexpr uint16_t kVendorId = 0x8086;
  static constexpr uint16_t kDeviceId = 0xA0A1;
  static constexpr uint32_t kPwrmBaseRegister = 0x48;
  static constexpr uint32_t kPwrmBaseMask = 0xFFFF0000;
  static constexpr uint64_t kDefaultPwrmBase = 0xFE000000;
  static constexpr uint64_t kPwrmSize = 0x10000;
  static constexpr uint32_t kTraceHubControl = 0x5D0;
  static constexpr uint32_t kTraceHubDisabled = 0x1;

  PowerManagementController() : registers_(kPwrmSize, 0) {}

  // Adds the function to configuration space and claims its MMIO space.
  void Attach(AddressMap &map, PciExpressSpace &pci);

  void SetTraceHubDisabled(bool disabled);
  bool TraceHubDisabled() const;
  uint64_t PwrmBase() const { return base_; }

  uint64_t MmioRead(uint64_t offset, unsigned width) override;
  void MmioWrite(uint64_t offset, unsigned width, uint64_t value) override;

  // PM1 control. The value the operating system writes to enter a state (0 to 5).
  static uint16_t SleepRequest(int state);
  uint64_t IoRead(uint16_t port, unsigned width) override;
  void IoWrite(uint16_t port, unsigned width, uint64_t value) override;
  // SMI on SLP_EN (set up by the chipset's SMM code; on by default).
  void SetSleepSmiEnabled(bool enabled) { sleepSmiEnabled_ = enabled; }
  bool SleepSmiPending() const { return sleepSmiPending_; }
  // The state that SLP_TYP names, if it names one.
  std::optional<int> RequestedSleepState() const;
  // The SMM handler is done: clear the SMI status and enter the requested state.
  void CompleteSleep();
  // 0 while working; 1 to 5 while in that sleep state.
  int SleepState() const { return sleepState_; }
  // Wake from S1 to S3, or power on from S4 and S5.
  void Wake() { sleepState_ = 0; }
  void OnSleepSmi(std::function<void()> raise) { raiseSmi_ = std::move(raise); }
  void OnSleepState(std::function<void(int state)> observer) { sleepObserver_ = std::move(observer); }

 private:
  void EnterRequestedState();

  void Rebase(uint64_t base);

  AddressMap *map_ = nullptr;
  uint64_t base_ = 0;
  std::vector<uint8_t> registers_;
  uint16_t pm1Control_ = 0;
  bool sleepSmiEnabled_ = true;
  bool sleepSmiPending_ = false;
  int sleepState_ = 0;
  std::function<void()> raiseSmi_;
  std::function<void(int)> sleepObserver_;
};

}  // namespace sim
