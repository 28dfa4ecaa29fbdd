// The power management controller at PCI 0:31.2: its configuration header, the PWRM
// base in register 0x48 and the PWRM MMIO space behind it, which holds the trace-hub
// disable bit (bit 0 of offset 0x5D0). Moving the base in register 0x48 moves the space.
#pragma once

#include <cstdint>
#include <vector>

#include "platform_sim/devices/pci_express.h"
#include "platform_sim/memory/address_map.h"

namespace sim {

class PowerManagementController : public MmioDevice {
 public:
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

 private:
  void Rebase(uint64_t base);

  AddressMap *map_ = nullptr;
  uint64_t base_ = 0;
  std::vector<uint8_t> registers_;
};

}  // namespace sim
