// The chipset's SPI flash controller at PCI 0:31:5: its register block (BAR 0) with the
// descriptor observation registers, the components behind it addressed linearly, the
// hardware-sequenced operations the chipset SPI protocol runs, and the read-only BIOS
// window onto the top of the flash.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform_sim/devices/pci_express.h"
#include "platform_sim/flash/flash_window.h"
#include "platform_sim/flash/spi_nor_flash.h"
#include "runtime/uefi/types.h"

namespace sim {

class SpiController : public MmioDevice, public FlashWindowTarget {
 public:
  static constexpr uint16_t kVendorId = 0x8086;
  static constexpr uint16_t kDeviceId = 0xA324;
  static constexpr uint32_t kDescriptorSelector = 0xB4;
  static constexpr uint32_t kDescriptorData = 0xB8;
  static constexpr uint64_t kRegisterSize = 0x1000;
  static constexpr uint64_t kMaxWindow = 0x1000000;  // 16 MiB decoded below 4 GiB
  static constexpr uint32_t kDescriptorSignature = 0x0FF0A55A;

  SpiController(const FlashProfile &profile, FlashMonitor &monitor);
  void Attach(AddressMap &bus, PciExpressSpace &pci);

  uint64_t Size() const { return size_; }
  uint64_t WindowSize() const { return size_ < kMaxWindow ? size_ : kMaxWindow; }
  uint64_t BiosRegionBase() const { return size_ - biosRegionSize_; }
  uint64_t BiosRegionSize() const { return biosRegionSize_; }
  size_t ComponentCount() const { return components_.size(); }
  SpiNorFlash &Component(size_t index) { return *components_.at(index); }
  // Where a linear flash address appears in memory (the window ends at 4 GiB).
  uint64_t MemoryAddress(uint64_t linear) const { return FlashWindow::kTop - size_ + linear; }

  uint8_t Peek(uint64_t linear) const;
  std::vector<uint8_t> PeekRange(uint64_t linear, uint64_t length) const;
  void Load(uint64_t linear, const std::vector<uint8_t> &data);

  // Hardware-sequenced cycles at linear addresses: erases of every 4-KiB sector the range
  // touches, programs split at page boundaries. EFI_INVALID_PARAMETER outside the flash;
  // EFI_DEVICE_ERROR when a part fails or does not finish.
  EFI_STATUS Erase(uint64_t linear, uint64_t length);
  EFI_STATUS Write(uint64_t linear, const uint8_t *data, uint64_t length);
  EFI_STATUS ReadSfdp(uint8_t component, uint32_t address, uint32_t length, uint8_t *out);
  EFI_STATUS ReadJedecId(uint8_t component, uint32_t length, uint8_t *out);

  // Register block.
  uint64_t MmioRead(uint64_t offset, unsigned width) override;
  void MmioWrite(uint64_t offset, unsigned width, uint64_t value) override;
  // BIOS window: reads see the flash, writes are dropped.
  uint8_t WindowRead(uint64_t offset) override { return Peek(size_ - WindowSize() + offset); }
  void WindowWrite(uint64_t, uint8_t) override {}

  uint32_t DescriptorSelector() const;

 private:
  // The part holding a linear address, and the address within it.
  std::pair<SpiNorFlash *, uint64_t> Locate(uint64_t linear) const;
  uint32_t ObservedDescriptor() const;

  uint32_t spiBar_;
  bool barAllOnes_;
  uint64_t size_ = 0;
  uint64_t biosRegionSize_;
  std::vector<std::unique_ptr<SpiNorFlash>> components_;
  std::map<uint32_t, uint32_t> descriptor_;  // (section << 10 | index) -> dword
  std::vector<uint8_t> registers_ = std::vector<uint8_t>(kRegisterSize, 0);
};

}  // namespace sim
