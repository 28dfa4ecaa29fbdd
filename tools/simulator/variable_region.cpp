#include "tools/simulator/variable_region.h"

#include <cstring>

#include "tools/simulator/cli_errors.h"
#include "tools/simulator/flash_file.h"

namespace simulator {

namespace {

constexpr char kSignature[8] = {'S', 'I', 'M', 'N', 'V', 'V', 'A', 'R'};
constexpr uint32_t kNonVolatile = 0x1;

// Each variable: name length in characters (UINT16), the UCS-2 name, GUID, attributes
// (UINT32), data size (UINT32), data. A name length of 0xFFFF (erased) ends the list.
template <typename T>
bool Take(const std::vector<uint8_t> &image, uint64_t &at, uint64_t end, T *value, size_t bytes = sizeof(T)) {
  if (at + bytes > end) return false;
  std::memcpy(value, image.data() + at, bytes);
  at += bytes;
  return true;
}

template <typename T>
void Put(std::vector<uint8_t> &out, const T *value, size_t bytes = sizeof(T)) {
  const auto *data = reinterpret_cast<const uint8_t *>(value);
  out.insert(out.end(), data, data + bytes);
}

}  // namespace

std::optional<std::vector<sim::Variable>> ReadVariableRegion(const std::vector<uint8_t> &image) {
  uint64_t at = FlashFileOffset(kVariableRegionAddress, image.size());
  const uint64_t end = at + kVariableRegionSize;
  if (std::memcmp(image.data() + at, kSignature, sizeof(kSignature)) != 0) return std::nullopt;
  at += sizeof(kSignature);
  std::vector<sim::Variable> variables;
  for (;;) {
    uint16_t length = 0;
    if (!Take(image, at, end, &length)) break;
    if (length == 0xFFFF) return variables;
    sim::Variable variable;
    variable.name.resize(length);
    uint32_t size = 0;
    if (!Take(image, at, end, variable.name.data(), 2ull * length) || !Take(image, at, end, &variable.guid) ||
        !Take(image, at, end, &variable.attributes) || !Take(image, at, end, &size) || at + size > end) {
      break;
    }
    variable.data.assign(image.begin() + static_cast<long>(at), image.begin() + static_cast<long>(at + size));
    at += size;
    variables.push_back(std::move(variable));
  }
  throw InputError("the variable region at 0xFF9F0000 of the flash image is damaged");
}

void WriteVariableRegion(std::vector<uint8_t> &image, const std::vector<sim::Variable> &variables) {
  std::vector<uint8_t> region(kSignature, kSignature + sizeof(kSignature));
  for (const sim::Variable &variable : variables) {
    if ((variable.attributes & kNonVolatile) == 0) continue;
    const auto length = static_cast<uint16_t>(variable.name.size());
    const auto size = static_cast<uint32_t>(variable.data.size());
    Put(region, &length);
    Put(region, variable.name.data(), 2ull * length);
    Put(region, &variable.guid);
    Put(region, &variable.attributes);
    Put(region, &size);
    region.insert(region.end(), variable.data.begin(), variable.data.end());
  }
  if (region.size() + 2 > kVariableRegionSize) {
    throw InputError("the non-volatile variables take more than the 64-KiB variable region");
  }
  region.resize(kVariableRegionSize, 0xFF);
  WriteNor(image, FlashFileOffset(kVariableRegionAddress, image.size()), region, 0x1000);
}

}  // namespace simulator
