// Addresses as the report shows them: relative to the image they lie in, or by the name
// of what the platform handed out there, so two runs of one profile print the same text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class Platform;

class AddressNames {
 public:
  explicit AddressNames(Platform &platform);
  // "PlatformConfigDxe+0x1A40" for an address inside an image of that boot, the plain
  // address otherwise (firmware memory and hardware lie at fixed addresses).
  std::string Name(uint64_t address, uint32_t boot) const;
  // Every address of eight or more hex digits in `text` shown by Name().
  std::string Rewrite(const std::string &text, uint32_t boot) const;

 private:
  Platform &platform_;
};

}  // namespace sim
