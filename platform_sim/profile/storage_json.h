// The profile's "storage" list as JSON: written out in full, read back with errors that
// name the field.
#pragma once

#include <nlohmann/json.hpp>

#include "platform_sim/profile/profile_reader.h"
#include "platform_sim/profile/storage_profile.h"

namespace sim {

nlohmann::ordered_json StorageToJson(const StorageProfile &storage);
// `value` is the document's "storage"; it replaces the whole list.
StorageProfile ReadStorage(const ProfileReader &reader, const nlohmann::json &value);

}  // namespace sim
