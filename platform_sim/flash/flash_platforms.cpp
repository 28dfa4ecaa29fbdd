#include "platform_sim/flash/flash_platforms.h"

#include <cstring>

#include "runtime/uefi/guids.h"

namespace sim {

namespace {

void Put32(std::vector<uint8_t> &bytes, size_t offset, uint32_t value) {
  for (int index = 0; index < 4; ++index) bytes[offset + index] = static_cast<uint8_t>(value >> (8 * index));
}

void Put64(std::vector<uint8_t> &bytes, size_t offset, uint64_t value) {
  Put32(bytes, offset, static_cast<uint32_t>(value));
  Put32(bytes, offset + 4, static_cast<uint32_t>(value >> 32));
}

std::vector<uint8_t> Text(const std::string &text) { return std::vector<uint8_t>(text.begin(), text.end()); }

constexpr uint64_t kPartBase8M = 0xFF800000;

}  // namespace

std::vector<uint8_t> FlashDescriptor(uint32_t accessType, uint32_t deviceId, uint32_t info, uint16_t blockSize256,
                                     uint16_t blockCount) {
  std::vector<uint8_t> bytes(16, 0);
  Put32(bytes, 0, accessType);
  Put32(bytes, 4, deviceId);
  Put32(bytes, 8, info);
  bytes[12] = static_cast<uint8_t>(blockSize256);
  bytes[13] = static_cast<uint8_t>(blockSize256 >> 8);
  bytes[14] = static_cast<uint8_t>(blockCount);
  bytes[15] = static_cast<uint8_t>(blockCount >> 8);
  return bytes;
}

std::vector<uint8_t> ParallelCommandData(uint64_t idAddress, uint64_t command1, uint64_t command2) {
  std::vector<uint8_t> bytes(32, 0);
  Put64(bytes, 4, idAddress);
  Put64(bytes, 12, command1);
  Put64(bytes, 20, command2);
  return bytes;
}

std::vector<uint8_t> SpiCommandData(const SpiCommandOptions &options) {
  std::vector<uint8_t> bytes(std::max<size_t>(options.size, 40), 0);
  for (size_t index = 0; index < options.instructions.size() && index < 12; ++index) {
    bytes[4 + index] = options.instructions[index];
  }
  for (int index = 0; index < 4; ++index) bytes[16 + index] = options.flags[index];
  bytes[20] = options.idLength;
  bytes[21] = options.byte21;
  bytes[22] = options.byte22;
  for (int index = 0; index < 4; ++index) bytes[24 + index] = options.stored[index];
  Put32(bytes, 32, options.eraseBlockSize);
  Put32(bytes, 36, options.extra);
  bytes.resize(options.size);
  return bytes;
}

void AddFlashCandidate(PlatformProfile &profile, const FlashCandidate &candidate) {
  profile.pcds.push_back({gFlashDescriptorTokenSpaceGuid, candidate.token, candidate.descriptor, false});
  profile.pcds.push_back({gFlashCommandTokenSpaceGuid, candidate.token, candidate.commandData, false});
  profile.pcds.push_back({gFlashFirstNameTokenSpaceGuid, candidate.token, Text(candidate.firstName), false});
  profile.pcds.push_back({gFlashSecondNameTokenSpaceGuid, candidate.token, Text(candidate.secondName), false});
}

void SetChosenFlashToken(PlatformProfile &profile, uint32_t token) {
  std::vector<uint8_t> value(4);
  std::memcpy(value.data(), &token, 4);
  for (PlatformProfile::Pcd &pcd : profile.pcds) {
    if (!pcd.space && pcd.token == kChosenFlashToken) {
      pcd.value = value;
      return;
    }
  }
  profile.pcds.push_back({std::nullopt, kChosenFlashToken, value, true});
}

std::vector<uint8_t> BuildSfdp(uint8_t firstByte, uint8_t erase4k, uint32_t densityField, uint8_t dwords) {
  std::vector<uint8_t> sfdp(0x30 + 4 * static_cast<size_t>(dwords), 0xFF);
  Put32(sfdp, 0, 0x50444653);  // "SFDP"
  sfdp[4] = 0x06;              // revision 1.6
  sfdp[5] = 0x01;
  sfdp[6] = 0x00;  // one parameter header
  sfdp[7] = 0xFF;
  // Parameter header 0: the basic flash parameter table.
  sfdp[8] = 0x00;
  sfdp[9] = 0x06;
  sfdp[10] = 0x01;
  sfdp[11] = dwords;
  sfdp[12] = 0x30;
  sfdp[13] = 0x00;
  sfdp[14] = 0x00;
  sfdp[15] = 0xFF;
  // Table: 1-1-2/1-2-2/1-4-4 fast reads, 4-KiB erase, density, then the usual fields.
  const uint8_t typical[] = {0xE5, 0x20, 0xF9, 0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0x44, 0xEB, 0x08, 0x6B,
                             0x08, 0x3B, 0x42, 0xBB, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                             0xFF, 0xFF, 0x40, 0xEB, 0x0C, 0x20, 0x0F, 0x52, 0x10, 0xD8, 0x00, 0x00};
  for (size_t index = 0; index < sizeof(typical) && index < 4u * dwords; ++index) sfdp[0x30 + index] = typical[index];
  if (dwords >= 1) {
    sfdp[0x30] = firstByte;
    sfdp[0x31] = erase4k;
  }
  if (dwords >= 2) Put32(sfdp, 0x34, densityField);
  return sfdp;
}

std::vector<uint8_t> FactoryTagStoreBlock() {
  std::vector<uint8_t> block(0x2000, 0xFF);
  // "MFG0": board serial, MAC address, date of manufacture; the manufacturing flag
  // (byte 143) is clear on a shipped machine.
  std::vector<uint8_t> mfg0(256, 0x00);
  const std::string serial = "QZ4C21B97F0386";
  std::copy(serial.begin(), serial.end(), mfg0.begin());
  const uint8_t mac[] = {0x00, 0x1B, 0x21, 0x4C, 0x9A, 0x07};
  std::copy(std::begin(mac), std::end(mac), mfg0.begin() + 32);
  const std::string date = "2023-11-14";
  std::copy(date.begin(), date.end(), mfg0.begin() + 48);
  mfg0[143] = 0x00;
  std::copy(mfg0.begin(), mfg0.end(), block.begin() + 0x100);
  // "CNF1": configuration revision 1, options written by the factory tool.
  std::vector<uint8_t> cnf1(256, 0x00);
  cnf1[0] = 0x01;
  cnf1[1] = 0x03;
  cnf1[2] = 0x10;
  cnf1[70] = 0x00;
  std::copy(cnf1.begin(), cnf1.end(), block.begin() + 0x1200);
  return block;
}

void UseSpiFlash(PlatformProfile &profile) {
  FlashProfile &flash = profile.flash;
  flash.kind = FlashPartKind::Spi;
  // Winbond W25Q128JV: 128 Mbit, 4-KiB sector erase 0x20, 64-KiB block erase 0xD8,
  // 256-byte page program 0x02; sector erase 45 ms (400 ms worst), block erase 150 ms
  // (2 s), page program 0.4 ms (3 ms).
  flash.components = {{5, {0xEF, 0x40, 0x18}, BuildSfdp(0xE5, 0x20, 0x07FFFFFF)}};
  flash.timings = FlashTimings{45000, 150000, 14, 400, 400000, 2000000, 20, 3000};
  flash.contents.push_back({kTagStoreBase, FactoryTagStoreBlock()});

  SpiCommandOptions spi;
  AddFlashCandidate(
      profile, {0x10, FlashDescriptor(3, 0x001820C2, 0, 16, 4096), SpiCommandData(spi), "MX25L12835F", "Macronix"});
  AddFlashCandidate(profile,
                    {0x11, FlashDescriptor(3, 0x001840EF, 0, 16, 4096), SpiCommandData(spi), "W25Q128JV", "Winbond"});
  AddFlashCandidate(profile, {kGenericSpiToken, FlashDescriptor(3, kGenericSpiToken, 0, 16, 4096), SpiCommandData(spi),
                              "SFDP", "Generic SPI"});
  SetChosenFlashToken(profile, 0);
}

void UseParallelJedecFlash(PlatformProfile &profile) {
  FlashProfile &flash = profile.flash;
  flash.kind = FlashPartKind::ParallelJedec;
  flash.partSize = 0x800000;
  flash.manufacturerId = 0xBF;
  flash.deviceId = 0x6D;
  // A generic part of this command set (no datasheet it is named after): 4-KiB sector
  // and 64-KiB block erase in 18 ms (25 ms worst), byte program in 14 us (20 us).
  flash.timings = FlashTimings{18000, 18000, 14, 0, 25000, 25000, 20, 0};
  flash.contents.push_back({kTagStoreBase, FactoryTagStoreBlock()});
  AddFlashCandidate(profile, {0x20, FlashDescriptor(0, 0x6DBF, 0, 16, 2048),
                              ParallelCommandData(kPartBase8M, kPartBase8M + 0x5555, kPartBase8M + 0x2AAA), "JEDEC-8M",
                              "Generic parallel"});
  SetChosenFlashToken(profile, 0);
}

void UseFirmwareHubFlash(PlatformProfile &profile) {
  FlashProfile &flash = profile.flash;
  flash.kind = FlashPartKind::FirmwareHub;
  flash.partSize = 0x800000;
  flash.manufacturerId = 0x89;
  flash.deviceId = 0xAC;
  // A generic firmware-hub part (no datasheet it is named after): 64-KiB block erase in
  // 25 ms (100 ms worst), byte program in 20 us (50 us).
  flash.timings = FlashTimings{0, 25000, 20, 0, 0, 100000, 50, 0};
  flash.contents.push_back({kTagStoreBase, FactoryTagStoreBlock()});
  AddFlashCandidate(profile, {0x30, FlashDescriptor(1, 0xAC89, 0, 256, 128), ParallelCommandData(kPartBase8M, 0, 0),
                              "FWH-8M", "Generic firmware hub"});
  SetChosenFlashToken(profile, 0);
}

}  // namespace sim
