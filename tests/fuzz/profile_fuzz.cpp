// The platform profile reader on arbitrary files: any bytes either make a profile or a
// ProfileError that names the field; nothing else may escape, crash or trip a sanitizer.
// A profile that reads is written out and read back to the same document.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform_sim/profile/profile_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const nlohmann::json document = nlohmann::json::parse(data, data + size, nullptr, false);
  if (document.is_discarded()) return 0;
  sim::PlatformProfile profile;
  try {
    profile = sim::ProfileFromJson(document, "fuzz.json");
  } catch (const sim::ProfileError &) {
    return 0;
  }
  const nlohmann::ordered_json written = sim::ProfileToJson(profile);
  const nlohmann::ordered_json again = sim::ProfileToJson(sim::ProfileFromJson(nlohmann::json(written), "again.json"));
  if (written != again) std::abort();  // a profile must survive its own round trip
  return 0;
}
