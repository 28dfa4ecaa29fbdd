// The GCD memory space map that DXE services describe: descriptors covering the whole
// processor address space, each with its type, capabilities and attributes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/uefi/dxe_services.h"

namespace sim {

struct MemorySpaceRange {
  uint64_t base = 0;
  uint64_t length = 0;
  EFI_GCD_MEMORY_TYPE type = EfiGcdMemoryTypeNonExistent;
  uint64_t capabilities = 0;
  uint64_t attributes = 0;
};

class MemorySpaceMap {
 public:
  static constexpr uint64_t kAddressSpace = 1ull << 36;

  MemorySpaceMap();
  // Describes [base, base + length) (the range must lie in one non-existent descriptor).
  bool Add(uint64_t base, uint64_t length, EFI_GCD_MEMORY_TYPE type, uint64_t capabilities, uint64_t attributes);
  // EFI_NOT_FOUND beyond the address space.
  EFI_STATUS Get(uint64_t address, EFI_GCD_MEMORY_SPACE_DESCRIPTOR &descriptor) const;
  // PI rules: page-aligned, non-empty, inside the map, and every attribute one the range
  // is capable of; the range is split off its neighbours as needed.
  EFI_STATUS SetAttributes(uint64_t base, uint64_t length, uint64_t attributes);

  const std::vector<MemorySpaceRange> &Ranges() const { return ranges_; }
  const MemorySpaceRange *Find(uint64_t address) const;

 private:
  void SplitAt(uint64_t address);
  void Merge();
  std::vector<MemorySpaceRange> ranges_;
};

}  // namespace sim
