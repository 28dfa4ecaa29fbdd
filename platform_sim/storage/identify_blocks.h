// IDENTIFY data shaped like real drives: ATA strings byte-swapped in their words and
// padded with blanks, NVMe texts in byte order padded with blanks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

using AtaIdentifyBlock = std::array<uint8_t, 512>;

struct AtaDriveIdentity {
  std::string model;
  std::string serial;
  std::string firmware = "1.00";
  bool packetDevice = false;  // word 0 bit 15: an ATAPI (optical) drive
  bool deviceSleep = false;   // words 120 and 121 bit 8
};

// The 512-byte IDENTIFY DEVICE (or IDENTIFY PACKET DEVICE) data of a drive.
AtaIdentifyBlock MakeAtaIdentify(const AtaDriveIdentity &drive);
// Writes an ATA string field: blank-padded to `bytes`, two characters per word with the
// first in the high byte.
void PutAtaString(uint8_t *field, size_t bytes, const std::string &text);

// An ATA string field read back: the characters of each word swapped into order, the
// trailing blanks dropped.
std::string GetAtaString(const uint8_t *field, size_t bytes);
// The fields of IDENTIFY DEVICE data by byte offset and size.
constexpr size_t kAtaSerialOffset = 20, kAtaSerialBytes = 20;
constexpr size_t kAtaFirmwareOffset = 46, kAtaFirmwareBytes = 8;
constexpr size_t kAtaModelOffset = 54, kAtaModelBytes = 40;

// The 4096-byte Identify Controller data of an NVMe controller.
std::vector<uint8_t> MakeNvmeIdentify(const std::string &model, const std::string &serial, uint16_t vendor = 0x144D);

}  // namespace sim
