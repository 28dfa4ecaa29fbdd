// How a platform's boot flash is built: which part, its size and identity, the SPI
// controller's descriptor, which flash protocols the firmware offers, the factory
// contents, busy times and injected faults.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace sim {

enum class FlashPartKind { None, Spi, ParallelJedec, FirmwareHub };

// Busy times of the part's operations (virtual time): typical, and the worst case the
// datasheet allows, which a part shows when the faults ask for it.
struct FlashTimings {
  uint64_t sectorEraseUs = 18000;  // 4-KiB sector
  uint64_t blockEraseUs = 25000;   // 64-KiB block
  uint64_t byteProgramUs = 14;     // parallel and firmware-hub parts
  uint64_t pageProgramUs = 700;    // SPI 256-byte page
  uint64_t sectorEraseMaxUs = 25000;
  uint64_t blockEraseMaxUs = 25000;
  uint64_t byteProgramMaxUs = 20;
  uint64_t pageProgramMaxUs = 3000;
};

struct FlashFaults {
  uint64_t failEraseNth = 0;  // the n-th erase command (1-based) fails; 0: none
  bool failEveryErase = false;
  uint64_t failProgramNth = 0;  // the n-th program command fails; 0: none
  bool failEveryProgram = false;
  uint64_t powerCutAfter = 0;  // the power fails right after the n-th erase or program; 0: never
  // The power fails half-way through the n-th erase or program: the first half of the
  // sector or block is erased, the first half of the bytes programmed; 0: never.
  uint64_t powerCutDuring = 0;
  bool stuckBusy = false;       // the part never reports that it has finished
  bool worstCaseTimes = false;  // every operation takes the datasheet's maximum
};

struct SpiComponentProfile {
  uint8_t densityCode = 5;  // 512 KiB << code
  std::vector<uint8_t> jedecId;
  std::vector<uint8_t> sfdp;  // the part's SFDP space from address 0
};

struct FlashProfile {
  FlashPartKind kind = FlashPartKind::None;

  // SPI: the controller at 0:31:5 and the components behind it.
  uint32_t spiBar = 0xFE010000;
  std::vector<SpiComponentProfile> components;
  uint64_t biosRegionSize = 0x600000;  // at the top of the flash
  bool chipsetSpi = true;              // boot-services ChipsetSpiProtocol
  bool chipsetSpiSmm = true;           // SMM ChipsetSpiProtocol
  bool regionFlashSmm = false;         // SMM RegionFlashProtocol
  // The controller does not decode its register block: BAR 0 reads all ones and the
  // registers are not there.
  bool spiBarAllOnes = false;

  // Parallel and firmware-hub parts: size and ID bytes (manufacturer at offset 0).
  uint64_t partSize = 0x800000;
  uint8_t manufacturerId = 0;
  uint8_t deviceId = 0;

  // Factory contents by memory address (the flash is mapped to end at 4 GiB).
  std::vector<std::pair<uint64_t, std::vector<uint8_t>>> contents;
  FlashTimings timings;
  FlashFaults faults;
};

}  // namespace sim
