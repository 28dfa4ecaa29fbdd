#include "platform_sim/memory/arena.h"

#include <sys/mman.h>

#include <cstring>
#include <stdexcept>

#include "runtime/uefi/status.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIM_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SIM_ASAN 1
#endif

#if defined(SIM_ASAN)
#include <sanitizer/asan_interface.h>
#define POISON(a, s) ASAN_POISON_MEMORY_REGION((void *)(a), (s))
#define UNPOISON(a, s) ASAN_UNPOISON_MEMORY_REGION((void *)(a), (s))
#else
#define POISON(a, s) ((void)(a), (void)(s))
#define UNPOISON(a, s) ((void)(a), (void)(s))
#endif

namespace sim {

namespace {
uint64_t AlignUp(uint64_t value, uint64_t align) { return (value + align - 1) & ~(align - 1); }
constexpr uint64_t kPoolAlign = 16;
// Free gap after every pool block: an overrun lands in poisoned memory.
constexpr uint64_t kPoolRedZone = 16;
}  // namespace

RangeAllocator::RangeAllocator(uint64_t base, uint64_t size) : base_(base), size_(size) { free_[base] = size; }

std::optional<uint64_t> RangeAllocator::Allocate(uint64_t size, uint64_t align, uint64_t maxAddress) {
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    uint64_t start = AlignUp(it->first, align);
    uint64_t end = it->first + it->second;
    if (start + size > end || start + size - 1 > maxAddress) continue;
    if (AllocateAt(start, size)) return start;
  }
  return std::nullopt;
}

bool RangeAllocator::AllocateAt(uint64_t address, uint64_t size) {
  auto it = free_.upper_bound(address);
  if (it == free_.begin()) return false;
  --it;
  uint64_t start = it->first;
  uint64_t length = it->second;
  if (address < start || address + size > start + length) return false;
  free_.erase(it);
  if (address > start) free_[start] = address - start;
  if (address + size < start + length) free_[address + size] = start + length - (address + size);
  return true;
}

void RangeAllocator::Release(uint64_t address, uint64_t size) {
  auto [it, inserted] = free_.emplace(address, size);
  if (!inserted) return;
  auto next = std::next(it);
  if (next != free_.end() && it->first + it->second == next->first) {
    it->second += next->second;
    free_.erase(next);
  }
  if (it != free_.begin()) {
    auto prev = std::prev(it);
    if (prev->first + prev->second == it->first) {
      prev->second += it->second;
      free_.erase(it);
    }
  }
}

Arena::Arena()
    : normal_(kBase, kSize - kSmramSize), smram_(kBase + kSize - kSmramSize, kSmramSize) {
  mapping_ = mmap(reinterpret_cast<void *>(kBase), kSize, PROT_READ | PROT_WRITE,
                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE | MAP_NORESERVE, -1, 0);
  if (mapping_ == MAP_FAILED || mapping_ != reinterpret_cast<void *>(kBase)) {
    throw std::runtime_error("cannot map the simulated memory arena at 0x10000000 (is another platform alive?)");
  }
  // Page 0 of the arena is never handed out, so no allocation starts at the base.
  normal_.AllocateAt(kBase, kPageSize);
  POISON(kBase, kSize);
}

Arena::~Arena() {
  UNPOISON(kBase, kSize);
  munmap(mapping_, kSize);
}

bool Arena::InjectFault(EFI_MEMORY_TYPE type) {
  ++driverAllocations_;
  if (faults_.failNth != 0 && driverAllocations_ == faults_.failNth) return true;
  return faults_.failType.has_value() && *faults_.failType == type;
}

void *Arena::Track(uint64_t address, uint64_t size, EFI_MEMORY_TYPE type, bool pages, bool firmware,
                   Region region) {
  live_[address] = Allocation{address, size, type, pages, firmware, region};
  UNPOISON(address, size);
  // Fresh memory is not zeroed by UEFI: fill it with a pattern so that code relying on
  // zeroed pool shows up.
  std::memset(reinterpret_cast<void *>(address), 0xAF, size);
  return reinterpret_cast<void *>(address);
}

void *Arena::AllocatePool(EFI_MEMORY_TYPE type, uint64_t size, Region region) {
  if (InjectFault(type)) return nullptr;
  RangeAllocator &allocator = region == Region::Smram ? smram_ : normal_;
  auto address = allocator.Allocate(AlignUp(size == 0 ? 1 : size, kPoolAlign) + kPoolRedZone, kPoolAlign, ~0ull);
  if (!address) return nullptr;
  return Track(*address, size, type, false, false, region);
}

std::optional<uint64_t> Arena::AllocatePages(EFI_ALLOCATE_TYPE how, EFI_MEMORY_TYPE type, uint64_t pages,
                                             uint64_t address, Region region) {
  if (InjectFault(type)) return std::nullopt;
  uint64_t size = pages * kPageSize;
  RangeAllocator &normal_ = region == Region::Smram ? smram_ : this->normal_;
  std::optional<uint64_t> result;
  switch (how) {
    case AllocateAnyPages:
      result = normal_.Allocate(size, kPageSize, ~0ull);
      break;
    case AllocateMaxAddress:
      result = normal_.Allocate(size, kPageSize, address);
      break;
    case AllocateAddress:
      if (address % kPageSize == 0 && normal_.AllocateAt(address, size)) result = address;
      break;
    default:
      break;
  }
  if (!result) return std::nullopt;
  Track(*result, size, type, true, false, region);
  return result;
}

void *Arena::AllocateFirmware(uint64_t size, EFI_MEMORY_TYPE type) {
  auto address = normal_.Allocate(AlignUp(size == 0 ? 1 : size, kPoolAlign) + kPoolRedZone, kPoolAlign, ~0ull);
  if (!address) throw std::runtime_error("simulated memory arena exhausted");
  void *memory = Track(*address, size, type, false, true, Region::Normal);
  std::memset(memory, 0, size);
  return memory;
}

EFI_STATUS Arena::FreePool(void *buffer) {
  auto it = live_.find(reinterpret_cast<uint64_t>(buffer));
  if (buffer == nullptr || it == live_.end() || it->second.pages) return EFI_INVALID_PARAMETER;
  const Allocation &block = it->second;
  RangeAllocator &allocator = block.region == Region::Smram ? smram_ : normal_;
  allocator.Release(block.address, AlignUp(block.size == 0 ? 1 : block.size, kPoolAlign) + kPoolRedZone);
  POISON(block.address, block.size);
  live_.erase(it);
  return EFI_SUCCESS;
}

EFI_STATUS Arena::FreePages(uint64_t address, uint64_t pages) {
  auto it = live_.find(address);
  if (it == live_.end() || !it->second.pages || it->second.size != pages * kPageSize) return EFI_NOT_FOUND;
  (it->second.region == Region::Smram ? smram_ : normal_).Release(address, pages * kPageSize);
  POISON(address, pages * kPageSize);
  live_.erase(it);
  return EFI_SUCCESS;
}

bool Arena::InArena(uint64_t address, uint64_t size) const {
  return address >= kBase && size <= kSize && address - kBase <= kSize - size;
}

bool Arena::InSmram(uint64_t address) const { return smram_.Contains(address); }

const Allocation *Arena::Find(uint64_t address) const {
  auto it = live_.upper_bound(address);
  if (it == live_.begin()) return nullptr;
  --it;
  const Allocation &block = it->second;
  return address < block.address + (block.size == 0 ? 1 : block.size) ? &block : nullptr;
}

std::vector<Allocation> Arena::DriverAllocations() const {
  std::vector<Allocation> result;
  for (const auto &[address, block] : live_) {
    if (!block.firmware) result.push_back(block);
  }
  return result;
}

std::string MemoryTypeName(EFI_MEMORY_TYPE type) {
  switch (type) {
    case EfiBootServicesData: return "EfiBootServicesData";
    case EfiBootServicesCode: return "EfiBootServicesCode";
    case EfiRuntimeServicesData: return "EfiRuntimeServicesData";
    case EfiRuntimeServicesCode: return "EfiRuntimeServicesCode";
    case EfiACPIMemoryNVS: return "EfiACPIMemoryNVS";
    case EfiACPIReclaimMemory: return "EfiACPIReclaimMemory";
    default: return "memory type " + std::to_string(static_cast<int>(type));
  }
}

}  // namespace sim
