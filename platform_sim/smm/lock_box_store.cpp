#include "platform_sim/smm/lock_box_store.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/trace/hex_text.h"
#include "runtime/uefi/status.h"

namespace sim {

namespace {

template <typename T>
T ReadAt(const uint8_t *buffer, uint64_t offset) {
  T value;
  std::memcpy(&value, buffer + offset, sizeof(T));
  return value;
}

}  // namespace

EFI_STATUS LockBoxStore::Handle(uint8_t *buffer, uint64_t size, const std::string &caller) {
  uint32_t command = ReadAt<uint32_t>(buffer, 24);
  uint32_t dataLength = ReadAt<uint32_t>(buffer, 28);
  uint64_t messageLength = ReadAt<uint64_t>(buffer, 16);
  EFI_GUID guid{};
  EFI_STATUS result = EFI_INVALID_PARAMETER;
  switch (command) {
    case kSave:
      if (dataLength == kSaveRequestSize - 24 && messageLength >= dataLength && size >= kSaveRequestSize) {
        std::memcpy(&guid, buffer + 40, sizeof(guid));
        result = Save(guid, ReadAt<uint64_t>(buffer, 56), ReadAt<uint64_t>(buffer, 64), caller);
      }
      break;
    case kSetAttributes:
      if (dataLength == kSetAttributesRequestSize - 24 && messageLength >= dataLength &&
          size >= kSetAttributesRequestSize) {
        std::memcpy(&guid, buffer + 40, sizeof(guid));
        result = SetAttributes(guid, ReadAt<uint64_t>(buffer, 56));
      }
      break;
    default:
      // Update, restore and restore-all are not modelled: nothing here sends them.
      result = EFI_UNSUPPORTED;
      break;
  }
  std::memcpy(buffer + 32, &result, sizeof(result));
  return result;
}

EFI_STATUS LockBoxStore::Save(const EFI_GUID &guid, uint64_t source, uint64_t length, const std::string &owner) {
  if (source == 0 || length == 0 || length > ~0ull - source) return EFI_INVALID_PARAMETER;
  if (Find(guid) != nullptr) return EFI_ALREADY_STARTED;
  if (arena_.InSmram(source) || arena_.InSmram(source + length - 1)) return EFI_ACCESS_DENIED;
  // Only memory that is handed out can be read without touching the arena's guards.
  const Allocation *block = arena_.Find(source);
  if (block == nullptr || length > block->address + block->size - source) return EFI_INVALID_PARAMETER;
  LockBox box;
  box.guid = guid;
  box.source = source;
  box.owner = owner;
  box.contents.resize(length);
  std::memcpy(box.contents.data(), reinterpret_cast<const void *>(source), length);
  boxes_.push_back(std::move(box));
  return EFI_SUCCESS;
}

EFI_STATUS LockBoxStore::SetAttributes(const EFI_GUID &guid, uint64_t attributes) {
  if (attributes > kRestoreInPlace) return EFI_INVALID_PARAMETER;
  for (LockBox &box : boxes_) {
    if (SameGuid(box.guid, guid)) {
      box.attributes = attributes;
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

const LockBox *LockBoxStore::Find(const EFI_GUID &guid) const {
  for (const LockBox &box : boxes_) {
    if (SameGuid(box.guid, guid)) return &box;
  }
  return nullptr;
}

nlohmann::ordered_json LockBoxStore::Describe() const {
  nlohmann::ordered_json boxes = nlohmann::ordered_json::array();
  for (const LockBox &box : boxes_) {
    boxes.push_back({{"guid", GuidName(box.guid)},
                     {"size", box.contents.size()},
                     {"source", HexNumber(box.source)},
                     {"attributes", HexNumber(box.attributes)},
                     {"owner", box.owner},
                     {"contents", HexBytes(box.contents)}});
  }
  return boxes;
}

}  // namespace sim
