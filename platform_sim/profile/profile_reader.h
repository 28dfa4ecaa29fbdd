// Reads a profile document field by field, keeping the path of the field it is at so
// that an error names the file, the field and what was expected.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform_sim/profile/profile_json.h"
#include "platform_sim/trace/hex_text.h"

namespace sim {

// Reads one document, keeping the path of the field it is at for errors.
class ProfileReader {
 public:
  explicit ProfileReader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void Fail(const std::string &path, const std::string &expected, const nlohmann::json &got) const {
    std::string shown = got.dump();
    if (shown.size() > 40) shown = shown.substr(0, 37) + "...";
    throw ProfileError(source_ + ": field \"" + path + "\": expected " + expected + ", got " + shown);
  }

  // An object whose keys are all among `known`.
  void Object(const nlohmann::json &value, const std::string &path, std::initializer_list<const char *> known) const {
    if (!value.is_object()) Fail(path.empty() ? "(top level)" : path, "an object", value);
    for (const auto &item : value.items()) {
      const std::string key = item.key();
      if (std::none_of(known.begin(), known.end(), [&](const char *name) { return key == name; })) {
        std::string names;
        for (const char *name : known) names += std::string(names.empty() ? "" : ", ") + name;
        throw ProfileError(source_ + ": field \"" + Join(path, key) + "\": unknown field (expected one of " + names +
                           ")");
      }
    }
  }

  static std::string Join(const std::string &path, const std::string &key) {
    return path.empty() ? key : path + "." + key;
  }

  // A number, or a string "0x..." for addresses and bytes.
  uint64_t Unsigned(const nlohmann::json &value, const std::string &path, uint64_t max) const {
    const std::string expected = "an unsigned integer up to " + HexNumber(max) + " (a number or a \"0x\" string)";
    uint64_t result = 0;
    if (value.is_number_unsigned()) {
      result = value.get<uint64_t>();
    } else if (value.is_number_integer() && value.get<int64_t>() >= 0) {
      result = static_cast<uint64_t>(value.get<int64_t>());
    } else if (value.is_string()) {
      const std::string text = value.get<std::string>();
      size_t used = 0;
      try {
        result = std::stoull(text, &used, 0);
      } catch (const std::exception &) {
        Fail(path, expected, value);
      }
      if (used != text.size() || text.empty() || text[0] == '-') Fail(path, expected, value);
    } else {
      Fail(path, expected, value);
    }
    if (result > max) Fail(path, expected, value);
    return result;
  }

  bool Bool(const nlohmann::json &value, const std::string &path) const {
    if (!value.is_boolean()) Fail(path, "true or false", value);
    return value.get<bool>();
  }

  std::string String(const nlohmann::json &value, const std::string &path) const {
    if (!value.is_string()) Fail(path, "a string", value);
    return value.get<std::string>();
  }

  std::vector<uint8_t> Hex(const nlohmann::json &value, const std::string &path) const {
    const std::string expected = "hex bytes such as \"5F 51 5A\"";
    if (!value.is_string()) Fail(path, expected, value);
    std::string digits;
    for (char c : value.get<std::string>()) {
      if (c == ' ') continue;
      if (!std::isxdigit(static_cast<unsigned char>(c))) Fail(path, expected, value);
      digits += c;
    }
    if (digits.size() % 2) Fail(path, expected + " (an even number of digits)", value);
    std::vector<uint8_t> bytes;
    for (size_t index = 0; index < digits.size(); index += 2) {
      bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(index, 2), nullptr, 16)));
    }
    return bytes;
  }

  // Hex bytes, or {"size", "fill", "patches": [{"offset", "hex" | "text"}]}.
  std::vector<uint8_t> Bytes(const nlohmann::json &value, const std::string &path, uint64_t maxSize) const {
    if (value.is_string()) {
      std::vector<uint8_t> bytes = Hex(value, path);
      if (bytes.size() > maxSize) Fail(path, "at most " + std::to_string(maxSize) + " bytes", value);
      return bytes;
    }
    if (!value.is_object()) Fail(path, "hex bytes or an object with size, fill and patches", value);
    Object(value, path, {"size", "fill", "patches"});
    if (!value.contains("size")) Fail(Join(path, "size"), "the size in bytes", nullptr);
    const uint64_t size = Unsigned(value["size"], Join(path, "size"), maxSize);
    const uint8_t fill =
        value.contains("fill") ? static_cast<uint8_t>(Unsigned(value["fill"], Join(path, "fill"), 0xFF)) : 0;
    std::vector<uint8_t> bytes(size, fill);
    if (!value.contains("patches")) return bytes;
    const nlohmann::json &patches = value["patches"];
    const std::string list = Join(path, "patches");
    if (!patches.is_array()) Fail(list, "an array of patches", patches);
    for (size_t index = 0; index < patches.size(); ++index) {
      const std::string at = list + "[" + std::to_string(index) + "]";
      const nlohmann::json &patch = patches[index];
      Object(patch, at, {"offset", "hex", "text"});
      if (!patch.contains("offset")) Fail(Join(at, "offset"), "the offset of the patch", nullptr);
      const uint64_t offset = Unsigned(patch["offset"], Join(at, "offset"), size);
      std::vector<uint8_t> data;
      if (patch.contains("hex") == patch.contains("text")) Fail(at, "exactly one of \"hex\" and \"text\"", patch);
      if (patch.contains("hex")) {
        data = Hex(patch["hex"], Join(at, "hex"));
      } else {
        const std::string text = String(patch["text"], Join(at, "text"));
        data.assign(text.begin(), text.end());
      }
      if (offset + data.size() > size) Fail(at, "a patch inside the " + std::to_string(size) + " bytes", patch);
      std::copy(data.begin(), data.end(), bytes.begin() + static_cast<long>(offset));
    }
    return bytes;
  }

 private:
  std::string source_;
};

}  // namespace sim
