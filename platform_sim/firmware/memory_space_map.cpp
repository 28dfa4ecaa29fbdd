#include "platform_sim/firmware/memory_space_map.h"

#include "runtime/uefi/status.h"

namespace sim {

MemorySpaceMap::MemorySpaceMap() { ranges_.push_back({0, kAddressSpace, EfiGcdMemoryTypeNonExistent, 0, 0}); }

const MemorySpaceRange *MemorySpaceMap::Find(uint64_t address) const {
  for (const MemorySpaceRange &range : ranges_) {
    if (address >= range.base && address - range.base < range.length) return &range;
  }
  return nullptr;
}

void MemorySpaceMap::SplitAt(uint64_t address) {
  for (size_t index = 0; index < ranges_.size(); ++index) {
    MemorySpaceRange &range = ranges_[index];
    if (address > range.base && address - range.base < range.length) {
      MemorySpaceRange upper = range;
      upper.base = address;
      upper.length = range.base + range.length - address;
      range.length = address - range.base;
      ranges_.insert(ranges_.begin() + static_cast<long>(index) + 1, upper);
      return;
    }
  }
}

void MemorySpaceMap::Merge() {
  for (size_t index = 1; index < ranges_.size();) {
    MemorySpaceRange &left = ranges_[index - 1];
    const MemorySpaceRange &right = ranges_[index];
    if (left.type == right.type && left.capabilities == right.capabilities && left.attributes == right.attributes) {
      left.length += right.length;
      ranges_.erase(ranges_.begin() + static_cast<long>(index));
    } else {
      ++index;
    }
  }
}

bool MemorySpaceMap::Add(uint64_t base, uint64_t length, EFI_GCD_MEMORY_TYPE type, uint64_t capabilities,
                         uint64_t attributes) {
  const MemorySpaceRange *holder = Find(base);
  if (length == 0 || holder == nullptr || holder->type != EfiGcdMemoryTypeNonExistent ||
      length > holder->base + holder->length - base) {
    return false;
  }
  SplitAt(base);
  SplitAt(base + length);
  for (MemorySpaceRange &range : ranges_) {
    if (range.base == base) range = {base, length, type, capabilities, attributes};
  }
  return true;
}

EFI_STATUS MemorySpaceMap::Get(uint64_t address, EFI_GCD_MEMORY_SPACE_DESCRIPTOR &descriptor) const {
  const MemorySpaceRange *range = Find(address);
  if (range == nullptr) return EFI_NOT_FOUND;
  descriptor = {};
  descriptor.BaseAddress = range->base;
  descriptor.Length = range->length;
  descriptor.Capabilities = range->capabilities;
  descriptor.Attributes = range->attributes;
  descriptor.GcdMemoryType = range->type;
  return EFI_SUCCESS;
}

EFI_STATUS MemorySpaceMap::SetAttributes(uint64_t base, uint64_t length, uint64_t attributes) {
  if (length == 0) return EFI_INVALID_PARAMETER;
  if ((base | length) & 0xFFF) return EFI_UNSUPPORTED;
  if (base >= kAddressSpace || length > kAddressSpace - base) return EFI_UNSUPPORTED;
  for (uint64_t address = base; address < base + length;) {
    const MemorySpaceRange *range = Find(address);
    if ((attributes & ~range->capabilities) != 0) return EFI_UNSUPPORTED;
    address = range->base + range->length;
  }
  SplitAt(base);
  SplitAt(base + length);
  for (MemorySpaceRange &range : ranges_) {
    if (range.base >= base && range.base < base + length) range.attributes = attributes;
  }
  Merge();
  return EFI_SUCCESS;
}

}  // namespace sim
