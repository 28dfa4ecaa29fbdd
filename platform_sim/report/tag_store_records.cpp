#include "platform_sim/report/tag_store_records.h"

#include "tagstore/tag_store_internal.h"

namespace sim {

std::string TagText(uint32_t tag) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((tag >> shift) & 0xFF);
  return text;
}

std::vector<TagStoreRecord> TagStoreRecords() {
  std::vector<TagStoreRecord> records;
  for (const TagStoreEntry &entry : gTagStoreTemplate) {
    if (entry.Tag == TAG_STORE_TERMINATOR) break;
    records.push_back({TagText(entry.Tag), entry.Offset, static_cast<uint32_t>(entry.Size)});
  }
  return records;
}

std::optional<TagStoreRecord> FindTagStoreRecord(const std::string &tag) {
  for (const TagStoreRecord &record : TagStoreRecords()) {
    if (record.tag == tag) return record;
  }
  return std::nullopt;
}

uint32_t TagStoreSpan() { return TAG_STORE_RECORD_SPAN; }

}  // namespace sim
