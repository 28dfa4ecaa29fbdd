// The SMM lock-box handler: saves copies of memory under a GUID for the S3 resume
// path and keeps their attributes. It reads each request from the communication
// buffer at fixed offsets (below) and answers in the buffer's return-status field.
//
// Offsets from the start of the communication buffer:
//   0 header GUID (16)   16 message length (8)   24 command (4)   28 data length (4)
//   32 return status (8) 40 lock-box GUID (16)
//   save (command 1, data length 48): 56 buffer address (8), 64 buffer length (8)
//   set attributes (command 4, data length 40): 56 attributes (8)
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "runtime/uefi/types.h"

namespace sim {

class Arena;

struct LockBox {
  EFI_GUID guid{};
  std::vector<uint8_t> contents;  // copy taken at the save
  uint64_t source = 0;            // where it was saved from
  uint64_t attributes = 0;
  std::string owner;
};

class LockBoxStore {
 public:
  static constexpr uint32_t kSave = 1;
  static constexpr uint32_t kSetAttributes = 4;
  static constexpr uint64_t kRestoreInPlace = 1;
  static constexpr uint64_t kSaveRequestSize = 72;
  static constexpr uint64_t kSetAttributesRequestSize = 64;
  // The smallest buffer that can carry an answer: up to the return-status field.
  static constexpr uint64_t kMinimumRequestSize = 40;

  explicit LockBoxStore(const Arena &arena) : arena_(arena) {}

  // Handles a whole communication buffer of `size` bytes (at least the minimum) and
  // writes the result into its return-status field; returns that result too.
  EFI_STATUS Handle(uint8_t *buffer, uint64_t size, const std::string &caller);

  // EFI_INVALID_PARAMETER for a null or empty range or one that is not allocated
  // memory, EFI_ACCESS_DENIED for SMRAM, EFI_ALREADY_STARTED for a known GUID.
  EFI_STATUS Save(const EFI_GUID &guid, uint64_t source, uint64_t length, const std::string &owner);
  // EFI_INVALID_PARAMETER above restore-in-place, EFI_NOT_FOUND for an unknown GUID.
  EFI_STATUS SetAttributes(const EFI_GUID &guid, uint64_t attributes);

  const LockBox *Find(const EFI_GUID &guid) const;
  const std::vector<LockBox> &Boxes() const { return boxes_; }
  // Each box: GUID, size, where it was saved from, attributes, owner and its bytes.
  nlohmann::ordered_json Describe() const;

 private:
  const Arena &arena_;
  std::vector<LockBox> boxes_;
};

}  // namespace sim
