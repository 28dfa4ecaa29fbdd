// The tag store's records as a host tool sees them in a flash image: the drivers' own
// built-in table, read on the host.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct TagStoreRecord {
  std::string tag;      // four characters, "PLOG"
  uint32_t offset = 0;  // from the start of the tag store block
  uint32_t size = 0;
};

// A tag value as its four characters, first character in the high byte: "PLOG".
std::string TagText(uint32_t tag);
// Every record of the built-in table, in table order (the terminator left out).
std::vector<TagStoreRecord> TagStoreRecords();
std::optional<TagStoreRecord> FindTagStoreRecord(const std::string &tag);
// The bytes the records span from the start of the block.
uint32_t TagStoreSpan();

}  // namespace sim
