// Platform profiles as JSON files: the format users describe their board in (see
// docs/profile.md), read field by field with errors that name the file, the field and
// what was expected; and the built-in default written out in the same format.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <stdexcept>
#include <string>

#include "platform_sim/profile/platform_profile.h"

namespace sim {

// "FILE: field "flash.part": expected ..., got ..."
class ProfileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every field the format holds; fields left out of a file keep these values.
nlohmann::ordered_json ProfileToJson(const PlatformProfile &profile);
// Starts from the built-in default and applies what the document gives. `source` names
// the document in errors.
PlatformProfile ProfileFromJson(const nlohmann::json &document, const std::string &source);
PlatformProfile LoadProfileFile(const std::string &path);

}  // namespace sim
