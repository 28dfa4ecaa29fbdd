// The platform's boot flash as hardware: the part (or the SPI controller and its
// components), the memory-mapped window at the top of 4 GiB and the monitor that
// records operations and injects faults. It belongs to the platform, so its contents
// survive every reset and reboot.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "platform_sim/devices/pci_express.h"
#include "platform_sim/flash/firmware_hub_flash.h"
#include "platform_sim/flash/flash_monitor.h"
#include "platform_sim/flash/flash_window.h"
#include "platform_sim/flash/jedec_parallel_flash.h"
#include "platform_sim/flash/spi_controller.h"

namespace sim {

class FlashHardware {
 public:
  FlashHardware(const FlashProfile &profile, Cpu &cpu, AddressMap &bus, PciExpressSpace &pci, EffectTrace &trace,
                FlashMonitor::ActorSource actor, FlashMonitor::PowerCut powerCut);

  FlashPartKind Kind() const { return kind_; }
  FlashMonitor &Monitor() { return monitor_; }
  FlashFaults &Faults() { return monitor_.Faults(); }
  SpiController *Spi() { return spi_.get(); }
  JedecParallelFlash *Jedec() { return jedec_.get(); }
  FirmwareHubFlash *Hub() { return hub_.get(); }

  bool Present() const { return window_ != nullptr; }
  uint64_t WindowBase() const { return window_ ? window_->Base() : 0; }
  uint64_t WindowSize() const { return window_ ? window_->Size() : 0; }

  // The cells behind a memory address, without any bus cycle (for tests and the report).
  std::vector<uint8_t> Peek(uint64_t address, size_t length) const;
  // Factory programming by memory address.
  void Load(uint64_t address, const std::vector<uint8_t> &data);

  // After a reset the parts are back in read mode with nothing in progress.
  void PowerOn();
  std::string Description() const;
  // The part and how many erase and program commands reached it.
  nlohmann::ordered_json Describe();

 private:
  uint8_t PeekByte(uint64_t address) const;

  FlashPartKind kind_;
  FlashMonitor monitor_;
  std::unique_ptr<SpiController> spi_;
  std::unique_ptr<JedecParallelFlash> jedec_;
  std::unique_ptr<FirmwareHubFlash> hub_;
  std::unique_ptr<FlashWindow> window_;
};

}  // namespace sim
