#include "platform_sim/storage/identify_blocks.h"

#include <algorithm>

namespace sim {

void PutAtaString(uint8_t *field, size_t bytes, const std::string &text) {
  std::string padded = text.substr(0, bytes);
  padded.resize(bytes, ' ');
  for (size_t index = 0; index + 1 < bytes; index += 2) {
    field[index] = static_cast<uint8_t>(padded[index + 1]);
    field[index + 1] = static_cast<uint8_t>(padded[index]);
  }
}

std::string GetAtaString(const uint8_t *field, size_t bytes) {
  std::string text;
  for (size_t index = 0; index + 1 < bytes; index += 2) {
    text += static_cast<char>(field[index + 1]);
    text += static_cast<char>(field[index]);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

AtaIdentifyBlock MakeAtaIdentify(const AtaDriveIdentity &drive) {
  AtaIdentifyBlock block{};
  auto putWord = [&block](size_t word, uint16_t value) {
    block[2 * word] = static_cast<uint8_t>(value);
    block[2 * word + 1] = static_cast<uint8_t>(value >> 8);
  };
  // Word 0: a fixed ATA disk, or an ATAPI CD/DVD device with 12-byte packets.
  putWord(0, drive.packetDevice ? 0x85C0 : 0x0040);
  PutAtaString(&block[kAtaSerialOffset], kAtaSerialBytes, drive.serial);
  PutAtaString(&block[kAtaFirmwareOffset], kAtaFirmwareBytes, drive.firmware);
  PutAtaString(&block[kAtaModelOffset], kAtaModelBytes, drive.model);
  putWord(49, 0x0F00);  // LBA and DMA supported
  putWord(80, 0x01F0);  // ATA8-ACS major versions
  if (drive.deviceSleep) {
    putWord(120, 0x0100);
    putWord(121, 0x0100);
  }
  putWord(255, 0x00A5);  // integrity word signature (checksum not kept)
  return block;
}

std::vector<uint8_t> MakeNvmeIdentify(const std::string &model, const std::string &serial, uint16_t vendor) {
  std::vector<uint8_t> block(4096, 0);
  block[0] = static_cast<uint8_t>(vendor);
  block[1] = static_cast<uint8_t>(vendor >> 8);
  auto put = [&block](size_t offset, size_t bytes, const std::string &text) {
    std::string padded = text.substr(0, bytes);
    padded.resize(bytes, ' ');
    std::copy(padded.begin(), padded.end(), block.begin() + static_cast<long>(offset));
  };
  put(4, 20, serial);
  put(24, 40, model);
  put(64, 8, "1B2QEXM7");
  return block;
}

}  // namespace sim
