// The legacy interval timer's channel 2 (ports 0x42, 0x43) and the system control
// port 0x61 that gates it and shows its output: enough for TSC calibration to run
// against virtual time and measure the simulated TSC frequency.
#pragma once

#include <cstdint>

#include "platform_sim/cpu/cpu.h"
#include "platform_sim/memory/address_map.h"

namespace sim {

class Pit : public IoDevice {
 public:
  static constexpr uint64_t kInputHz = 1193182;

  explicit Pit(Cpu &cpu) : cpu_(cpu) {}
  void Attach(AddressMap &map);

  uint64_t IoRead(uint16_t port, unsigned width) override;
  void IoWrite(uint16_t port, unsigned width, uint64_t value) override;

  // A stuck timer never raises its output: calibration must give up on it.
  void SetStuck(bool stuck) { stuck_ = stuck; }
  uint8_t Mode() const { return mode_; }
  uint8_t AccessMode() const { return access_; }
  uint16_t Count() const { return count_; }
  uint8_t SystemControl() const { return control61_; }

 private:
  bool Output() const;

  Cpu &cpu_;
  uint8_t control61_ = 0x00;
  uint8_t mode_ = 3;
  uint8_t access_ = 3;  // 1 = low byte, 2 = high byte, 3 = low then high
  bool bcd_ = false;
  uint16_t count_ = 0;
  bool expectHigh_ = false;
  bool counting_ = false;
  uint64_t startPs_ = 0;
  uint8_t latchedStatus_ = 0;
  bool statusLatched_ = false;
  bool stuck_ = false;
};

}  // namespace sim
