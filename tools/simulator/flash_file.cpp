#include "tools/simulator/flash_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/simulator/cli_errors.h"

namespace simulator {

namespace fs = std::filesystem;

uint64_t FlashPartSize(const sim::FlashProfile &flash) {
  switch (flash.kind) {
    case sim::FlashPartKind::None: return 0;
    case sim::FlashPartKind::Spi: {
      uint64_t size = 0;
      for (const sim::SpiComponentProfile &component : flash.components) size += 0x80000ull << component.densityCode;
      return size;
    }
    case sim::FlashPartKind::ParallelJedec:
    case sim::FlashPartKind::FirmwareHub: return flash.partSize;
  }
  return 0;
}

uint64_t FlashEraseBlock(const sim::FlashProfile &flash) {
  return flash.kind == sim::FlashPartKind::FirmwareHub ? 0x10000 : 0x1000;
}

uint64_t FlashFileOffset(uint64_t address, uint64_t size) { return address - (0x100000000ull - size); }

std::vector<uint8_t> ReadFlashImage(const std::string &path, const sim::FlashProfile &flash,
                                    const std::string &profileName) {
  const uint64_t expected = FlashPartSize(flash);
  if (expected == 0) throw InputError(path + ": the profile \"" + profileName + "\" has no flash part");
  if (expected > 0x1000000) {
    throw InputError(path + ": a part of " + std::to_string(expected) + " bytes is larger than the 16-MiB window");
  }
  std::error_code error;
  const uint64_t size = fs::file_size(path, error);
  std::ifstream file(path, std::ios::binary);
  if (error || !file) throw InputError(path + ": cannot be read");
  if (size != expected) {
    throw InputError(path + ": " + std::to_string(size) + " bytes, but the flash part of profile \"" + profileName +
                     "\" holds " + std::to_string(expected) + " bytes (" + std::to_string(expected >> 20) + " MiB)");
  }
  std::vector<uint8_t> image(size);
  if (!file.read(reinterpret_cast<char *>(image.data()), static_cast<std::streamsize>(size))) {
    throw InputError(path + ": cannot be read");
  }
  return image;
}

void WriteFlashImage(const std::string &path, const std::vector<uint8_t> &image) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!file) throw std::runtime_error(temporary + ": cannot be written");
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) {
    fs::remove(temporary);
    throw std::runtime_error(path + ": cannot be replaced: " + error.message());
  }
}

NorWrite WriteNor(std::vector<uint8_t> &image, uint64_t offset, const std::vector<uint8_t> &bytes,
                  uint64_t eraseBlock) {
  NorWrite done;
  bool onlyClears = true;
  for (size_t index = 0; index < bytes.size(); ++index) {
    if ((image[offset + index] & bytes[index]) != bytes[index]) onlyClears = false;
  }
  if (onlyClears) {
    // Programming clears bits: the cells take the new bytes.
    for (size_t index = 0; index < bytes.size(); ++index) image[offset + index] &= bytes[index];
    done.programmedBytes = bytes.size();
    return done;
  }
  const uint64_t first = offset / eraseBlock * eraseBlock;
  const uint64_t end = (offset + bytes.size() + eraseBlock - 1) / eraseBlock * eraseBlock;
  for (uint64_t block = first; block < end; block += eraseBlock) {
    std::vector<uint8_t> wanted(image.begin() + static_cast<long>(block),
                                image.begin() + static_cast<long>(block + eraseBlock));
    for (uint64_t at = block; at < block + eraseBlock; ++at) {
      if (at >= offset && at < offset + bytes.size()) wanted[at - block] = bytes[at - offset];
    }
    std::fill(image.begin() + static_cast<long>(block), image.begin() + static_cast<long>(block + eraseBlock), 0xFF);
    ++done.erasedBlocks;
    for (uint64_t at = 0; at < eraseBlock; ++at) {
      image[block + at] &= wanted[at];
      if (wanted[at] != 0xFF) ++done.programmedBytes;
    }
  }
  return done;
}

}  // namespace simulator
