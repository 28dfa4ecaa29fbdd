// Flash image files: the whole part as the platform's flash holds it, mapped to end at
// 4 GiB; read and checked against the profile's part, written back atomically, and
// records rewritten by NOR rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform_sim/flash/flash_profile.h"

namespace simulator {

// The bytes of the profile's part (0: the profile has no flash).
uint64_t FlashPartSize(const sim::FlashProfile &flash);
// The part's smallest erase unit.
uint64_t FlashEraseBlock(const sim::FlashProfile &flash);
// File offset of a memory address in an image of `size` bytes.
uint64_t FlashFileOffset(uint64_t address, uint64_t size);

// The file's bytes; InputError when it cannot be read or is not the part's size.
std::vector<uint8_t> ReadFlashImage(const std::string &path, const sim::FlashProfile &flash,
                                    const std::string &profileName);
// Replaces the file in one step (a temporary file renamed over it).
void WriteFlashImage(const std::string &path, const std::vector<uint8_t> &image);

// Gives the bytes at `offset` the new contents as a flash tool would: programs them when
// they only clear bits, otherwise erases each block they touch and programs the block
// back with the new bytes in place. Nothing outside the range changes.
struct NorWrite {
  unsigned erasedBlocks = 0;
  uint64_t programmedBytes = 0;
};
NorWrite WriteNor(std::vector<uint8_t> &image, uint64_t offset, const std::vector<uint8_t> &bytes, uint64_t eraseBlock);

}  // namespace simulator
