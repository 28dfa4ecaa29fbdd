// PCI Express configuration space through the enhanced mechanism at 0xE0000000: one
// 4-KiB window per bus/device/function. A function that is not present reads all ones.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform_sim/memory/address_map.h"

namespace sim {

class PciFunction {
 public:
  using ReadHook = std::function<uint64_t(uint32_t offset, unsigned width, uint64_t stored)>;
  using WriteHook = std::function<void(uint32_t offset, unsigned width, uint64_t value)>;

  PciFunction(uint16_t vendorId, uint16_t deviceId);
  uint64_t Read(uint32_t offset, unsigned width) const;
  void Write(uint32_t offset, unsigned width, uint64_t value);
  // Sets stored bytes directly (what firmware set up before the drivers ran).
  void Set(uint32_t offset, unsigned width, uint64_t value);
  // A device model may answer or observe particular registers itself.
  void OnRead(ReadHook hook) { readHook_ = std::move(hook); }
  void OnWrite(WriteHook hook) { writeHook_ = std::move(hook); }

 private:
  std::array<uint8_t, 4096> bytes_{};
  ReadHook readHook_;
  WriteHook writeHook_;
};

class PciExpressSpace : public MmioDevice {
 public:
  static constexpr uint64_t kBase = 0xE0000000;
  static constexpr uint64_t kSize = 0x10000000;  // buses 0 to 255

  void Attach(AddressMap &map) { map.ClaimMmio(kBase, kSize, this); }
  PciFunction &Add(uint8_t bus, uint8_t device, uint8_t function, uint16_t vendorId, uint16_t deviceId);
  void Remove(uint8_t bus, uint8_t device, uint8_t function);
  PciFunction *Find(uint8_t bus, uint8_t device, uint8_t function);

  uint64_t MmioRead(uint64_t offset, unsigned width) override;
  void MmioWrite(uint64_t offset, unsigned width, uint64_t value) override;

 private:
  static uint32_t Key(uint8_t bus, uint8_t device, uint8_t function) {
    return (static_cast<uint32_t>(bus) << 8) | (static_cast<uint32_t>(device & 0x1F) << 3) | (function & 0x7);
  }
  std::map<uint32_t, std::unique_ptr<PciFunction>> functions_;
};

}  // namespace sim
