#include "platform_sim/flash/spi_nor_flash.h"

namespace sim {

bool SpiNorFlash::Wait(uint64_t microseconds) {
  if (monitor_.Faults().stuckBusy) {
    monitor_.Processor().AdvanceNs(kCycleTimeoutUs * 1000);
    return false;
  }
  monitor_.Processor().AdvanceNs(microseconds * 1000);
  return true;
}

bool SpiNorFlash::EraseSector(uint64_t offset, uint64_t memory) {
  uint64_t start = offset & ~(kSectorSize - 1);
  if (monitor_.CutsDuring()) {
    array_.Erase(start, kSectorSize / 2);
    monitor_.Interrupted("erase", memory & ~(kSectorSize - 1), kSectorSize);
  }
  bool failed = monitor_.EraseFails();
  if (!failed) array_.Erase(start, kSectorSize);
  bool finished = Wait(monitor_.BusyUs(timings_.sectorEraseUs, timings_.sectorEraseMaxUs));
  monitor_.Erased(memory, kSectorSize, failed || !finished, true);
  return !failed && finished;
}

bool SpiNorFlash::ProgramPage(uint64_t offset, const uint8_t *data, uint64_t length, uint64_t memory) {
  if (monitor_.CutsDuring()) {
    for (uint64_t index = 0; index < length / 2; ++index) array_.Program(offset + index, data[index]);
    monitor_.Interrupted("program", memory, length);
  }
  bool failed = monitor_.ProgramFails();
  if (!failed) {
    for (uint64_t index = 0; index < length; ++index) array_.Program(offset + index, data[index]);
  }
  bool finished = Wait(monitor_.BusyUs(timings_.pageProgramUs, timings_.pageProgramMaxUs));
  monitor_.Programmed(memory, length, failed || !finished, true);
  return !failed && finished;
}

void SpiNorFlash::ReadJedecId(uint8_t *out, uint64_t length) const {
  for (uint64_t index = 0; index < length; ++index) out[index] = index < jedecId_.size() ? jedecId_[index] : 0x00;
}

void SpiNorFlash::ReadSfdp(uint64_t address, uint8_t *out, uint64_t length) const {
  for (uint64_t index = 0; index < length; ++index) {
    out[index] = address + index < sfdp_.size() ? sfdp_[address + index] : 0xFF;
  }
}

}  // namespace sim
