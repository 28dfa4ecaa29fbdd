// Lock-box requests as the SMM side expects them, built byte by byte from the
// offsets of the shared layout (not from the drivers' structures).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/uefi/guids.h"

namespace simtest {

template <typename T>
void PutAt(std::vector<uint8_t> &bytes, size_t offset, const T &value) {
  std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

inline std::vector<uint8_t> LockBoxHeader(size_t size, uint32_t command) {
  std::vector<uint8_t> bytes(size, 0);
  PutAt(bytes, 0, gLockBoxCommunicationGuid);
  PutAt<uint64_t>(bytes, 16, size - 24);
  PutAt<uint32_t>(bytes, 24, command);
  PutAt<uint32_t>(bytes, 28, static_cast<uint32_t>(size - 24));
  PutAt<uint64_t>(bytes, 32, ~0ull);
  return bytes;
}

inline std::vector<uint8_t> SaveRequest(const EFI_GUID &guid, uint64_t buffer, uint64_t length) {
  std::vector<uint8_t> bytes = LockBoxHeader(72, 1);
  PutAt(bytes, 40, guid);
  PutAt(bytes, 56, buffer);
  PutAt(bytes, 64, length);
  return bytes;
}

inline std::vector<uint8_t> SetAttributesRequest(const EFI_GUID &guid, uint64_t attributes) {
  std::vector<uint8_t> bytes = LockBoxHeader(64, 4);
  PutAt(bytes, 40, guid);
  PutAt(bytes, 56, attributes);
  return bytes;
}

}  // namespace simtest
