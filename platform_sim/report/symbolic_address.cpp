#include "platform_sim/report/symbolic_address.h"

#include <cstdio>
#include <regex>

#include "platform_sim/platform.h"

namespace sim {

AddressNames::AddressNames(Platform &platform) : platform_(platform) {}

std::string AddressNames::Name(uint64_t address, uint32_t boot) const {
  char text[64];
  for (const ImageRange &range : platform_.ImageRanges()) {
    if (range.boot == boot && address >= range.base && address - range.base < range.size) {
      std::snprintf(text, sizeof(text), "%s+0x%llX", range.name.c_str(),
                    static_cast<unsigned long long>(address - range.base));
      return text;
    }
  }
  std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(address));
  return text;
}

std::string AddressNames::Rewrite(const std::string &text, uint32_t boot) const {
  static const std::regex kAddress("0x([0-9A-Fa-f]{8,16})");
  std::string result;
  auto last = text.cbegin();
  for (auto match = std::sregex_iterator(text.begin(), text.end(), kAddress); match != std::sregex_iterator();
       ++match) {
    result.append(last, text.cbegin() + match->position());
    // Addresses outside every image keep the text they were written with.
    const std::string name = Name(std::stoull((*match)[1].str(), nullptr, 16), boot);
    result += name.find('+') == std::string::npos ? match->str() : name;
    last = text.cbegin() + match->position() + match->length();
  }
  result.append(last, text.cend());
  return result;
}

}  // namespace sim
