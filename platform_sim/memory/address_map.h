// Who answers which I/O port and which MMIO range. Unclaimed reads return all ones and
// unclaimed writes are dropped, as on a PC.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sim {

class IoDevice {
 public:
  virtual ~IoDevice() = default;
  virtual uint64_t IoRead(uint16_t port, unsigned width) = 0;
  virtual void IoWrite(uint16_t port, unsigned width, uint64_t value) = 0;
};

class MmioDevice {
 public:
  virtual ~MmioDevice() = default;
  // offset is relative to the start of the claimed range.
  virtual uint64_t MmioRead(uint64_t offset, unsigned width) = 0;
  virtual void MmioWrite(uint64_t offset, unsigned width, uint64_t value) = 0;
};

struct BusAccess {
  enum class Kind { IoRead, IoWrite, MmioRead, MmioWrite } kind;
  uint64_t address;
  unsigned width;
  uint64_t value;
};

class AddressMap {
 public:
  void ClaimPorts(uint16_t first, uint16_t count, IoDevice *device);
  void ClaimMmio(uint64_t base, uint64_t size, MmioDevice *device);
  void ReleaseMmio(MmioDevice *device);

  uint64_t IoRead(uint16_t port, unsigned width);
  void IoWrite(uint16_t port, unsigned width, uint64_t value);
  uint64_t MmioRead(uint64_t address, unsigned width);
  void MmioWrite(uint64_t address, unsigned width, uint64_t value);

  // Every access can be logged (off by default: calibration loops are long).
  void SetLogging(bool on) { logging_ = on; }
  const std::vector<BusAccess> &Log() const { return log_; }
  void ClearLog() { log_.clear(); }

 private:
  struct MmioRange {
    uint64_t base;
    uint64_t size;
    MmioDevice *device;
  };
  static uint64_t AllOnes(unsigned width) { return width >= 8 ? ~0ull : (1ull << (width * 8)) - 1; }
  void Record(BusAccess::Kind kind, uint64_t address, unsigned width, uint64_t value);

  std::map<uint16_t, IoDevice *> ports_;
  std::vector<MmioRange> mmio_;
  bool logging_ = false;
  std::vector<BusAccess> log_;
};

}  // namespace sim
