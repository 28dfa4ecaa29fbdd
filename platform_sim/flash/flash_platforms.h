// Building the flash side of a platform profile: the candidate device table in its four
// PCD token spaces, SFDP tables, and ready-made SPI, parallel and firmware-hub platforms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform_sim/profile/platform_profile.h"

namespace sim {

constexpr UINTN kChosenFlashToken = 433;
constexpr UINTN kGenericSpiToken = 0x12345678;
constexpr uint64_t kTagStoreBase = 0xFFD80000;

// One candidate of the table; each part lands in its own token space under `token`.
struct FlashCandidate {
  UINTN token = 0;
  std::vector<uint8_t> descriptor;
  std::vector<uint8_t> commandData;
  std::string firstName;
  std::string secondName;
};

// Device descriptor: access type, device ID, Info, block size / 256, block count.
std::vector<uint8_t> FlashDescriptor(uint32_t accessType, uint32_t deviceId, uint32_t info, uint16_t blockSize256,
                                     uint16_t blockCount);
// Command data of a parallel device: ID address and the two command addresses.
std::vector<uint8_t> ParallelCommandData(uint64_t idAddress, uint64_t command1, uint64_t command2);

struct SpiCommandOptions {
  std::vector<uint8_t> instructions = {0x02, 0x20, 0x03, 0x0B, 0x06, 0x05, 0x01, 0x9F, 0xD8, 0xC7, 0x04, 0x5A};
  uint8_t flags[4] = {1, 0, 1, 1};  // bytes 16 to 19, bit 0 each
  uint8_t idLength = 3;
  uint8_t byte21 = 2;
  uint8_t byte22 = 1;
  uint8_t stored[4] = {0x00, 0x01, 0x00, 0x00};
  uint32_t eraseBlockSize = 4096;
  uint32_t extra = 256;
  size_t size = 64;
};
std::vector<uint8_t> SpiCommandData(const SpiCommandOptions &options = {});

void AddFlashCandidate(PlatformProfile &profile, const FlashCandidate &candidate);
// PCD token 433: the candidate chosen at an earlier boot (persistent).
void SetChosenFlashToken(PlatformProfile &profile, uint32_t token);

// An SFDP space with one parameter header pointing at a basic flash parameter table of
// `dwords` double words at 0x30: byte 0 of the table, the 4-KiB erase instruction and
// the density field (JEDEC JESD216 layout, other fields typical of a 3-V serial NOR part).
std::vector<uint8_t> BuildSfdp(uint8_t firstByte, uint8_t erase4k, uint32_t densityField, uint8_t dwords = 16);

// The 8-KiB tag store block of a shipped machine: "MFG0" and "CNF1" filled in, the
// other records erased.
std::vector<uint8_t> FactoryTagStoreBlock();

// Ready-made platforms (hardware, candidate table, token 433 = 0, factory contents).
// SPI: one 16-MiB Winbond W25Q128JV (JEDEC ID EF 40 18) behind the controller.
void UseSpiFlash(PlatformProfile &profile);
// A generic 8-MiB JEDEC parallel part, ID BF/6D, commands at 0x5555 and 0x2AAA.
void UseParallelJedecFlash(PlatformProfile &profile);
// A generic 8-MiB firmware-hub part, ID 89/AC.
void UseFirmwareHubFlash(PlatformProfile &profile);

}  // namespace sim
