// Numbers and bytes as the report and the models' descriptions print them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sim {

// "0x3F" (width 0) or "0x003F" (width 4).
inline std::string HexNumber(uint64_t value, int width = 0) {
  char text[24];
  std::snprintf(text, sizeof(text), "0x%0*llX", width, static_cast<unsigned long long>(value));
  return text;
}

// "0x03"
inline std::string HexByte(uint8_t value) { return HexNumber(value, 2); }

// "01 02 FF"
inline std::string HexBytes(const uint8_t *bytes, size_t length) {
  std::string text;
  char pair[4];
  for (size_t index = 0; index < length; ++index) {
    std::snprintf(pair, sizeof(pair), "%02X", bytes[index]);
    if (index) text += ' ';
    text += pair;
  }
  return text;
}

inline std::string HexBytes(const std::vector<uint8_t> &bytes) { return HexBytes(bytes.data(), bytes.size()); }

}  // namespace sim
