#include "platform_sim/memory/arena.h"

#include <sys/mman.h>

#include <algorithm>
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
constexpr uint64_t kPoolAlign = 8;
// The pool head in front of a block: blocks come from 16-byte aligned ranges, so the
// block itself is 8 but never 16-byte aligned.
constexpr uint64_t kPoolHead = 8;
// Free gap after every pool block: an overrun lands in poisoned memory.
constexpr uint64_t kPoolRedZone = 16;
uint64_t PoolSpan(uint64_t size) { return kPoolHead + AlignUp(size == 0 ? 1 : size, kPoolAlign) + kPoolRedZone; }
// Firmware tables keep the 16-byte alignment of their C++ types.
constexpr uint64_t kFirmwareAlign = 16;
uint64_t FirmwareSpan(uint64_t size) { return AlignUp(size == 0 ? 1 : size, kFirmwareAlign) + kPoolRedZone; }
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

Arena::Arena() : normal_(kBase, kSize - kSmramSize), smram_(kBase + kSize - kSmramSize, kSmramSize) {
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

void *Arena::Track(const Allocation &block) {
  live_[block.address] = block;
  ++mapKey_;
  UNPOISON(block.address, block.size);
  // Fresh memory is not zeroed by UEFI: fill it with a pattern so that code relying on
  // zeroed pool shows up.
  std::memset(reinterpret_cast<void *>(block.address), 0xAF, block.size);
  return reinterpret_cast<void *>(block.address);
}

void *Arena::TrackPool(uint64_t blockStart, uint64_t size, EFI_MEMORY_TYPE type, bool firmware, Region region) {
  uint64_t address = firmware ? blockStart : blockStart + kPoolHead;
  return Track(Allocation{address, size, type, false, firmware, region, blockStart,
                          firmware ? FirmwareSpan(size) : PoolSpan(size)});
}

void *Arena::AllocatePool(EFI_MEMORY_TYPE type, uint64_t size, Region region) {
  if (InjectFault(type)) return nullptr;
  if (size > kSize) return nullptr;  // no overflow in the span arithmetic below
  RangeAllocator &allocator = region == Region::Smram ? smram_ : normal_;
  auto start = allocator.Allocate(PoolSpan(size), 16, ~0ull);
  if (!start) return nullptr;
  return TrackPool(*start, size, type, false, region);
}

std::optional<uint64_t> Arena::AllocatePages(EFI_ALLOCATE_TYPE how, EFI_MEMORY_TYPE type, uint64_t pages,
                                             uint64_t address, Region region) {
  if (InjectFault(type)) return std::nullopt;
  if (pages == 0 || pages > kSize / kPageSize) return std::nullopt;
  uint64_t size = pages * kPageSize;
  RangeAllocator &allocator = region == Region::Smram ? smram_ : normal_;
  std::optional<uint64_t> result;
  switch (how) {
    case AllocateAnyPages: result = allocator.Allocate(size, kPageSize, ~0ull); break;
    case AllocateMaxAddress: result = allocator.Allocate(size, kPageSize, address); break;
    case AllocateAddress:
      if (address % kPageSize == 0 && allocator.AllocateAt(address, size)) result = address;
      break;
    default: break;
  }
  if (!result) return std::nullopt;
  Track(Allocation{*result, size, type, true, false, region, *result, size});
  return result;
}

void *Arena::AllocateFirmware(uint64_t size, EFI_MEMORY_TYPE type, Region region) {
  RangeAllocator &allocator = region == Region::Smram ? smram_ : normal_;
  auto address = allocator.Allocate(FirmwareSpan(size), kFirmwareAlign, ~0ull);
  if (!address) throw std::runtime_error("simulated memory arena exhausted");
  void *memory = TrackPool(*address, size, type, true, region);
  std::memset(memory, 0, size);
  return memory;
}

void *Arena::AllocateFirmwarePages(uint64_t pages, EFI_MEMORY_TYPE type, Region region) {
  RangeAllocator &allocator = region == Region::Smram ? smram_ : normal_;
  auto address = allocator.Allocate(pages * kPageSize, kPageSize, ~0ull);
  if (!address) throw std::runtime_error("simulated memory arena exhausted");
  const uint64_t size = pages * kPageSize;
  void *memory = Track(Allocation{*address, size, type, true, true, region, *address, size});
  std::memset(memory, 0, size);
  return memory;
}

bool Arena::PlatformHoldsWord(uint64_t value) const {
  return PlatformHoldsWord(value, Region::Normal) || PlatformHoldsWord(value, Region::Smram);
}

bool Arena::PlatformHoldsWord(uint64_t value, Region region) const {
  for (const auto &[address, block] : live_) {
    if (!block.firmware || block.region != region) continue;
    const auto *words = reinterpret_cast<const uint64_t *>(address);
    for (uint64_t index = 0; index < block.size / sizeof(uint64_t); ++index) {
      if (words[index] == value) return true;
    }
  }
  return false;
}

EFI_STATUS Arena::FreePool(void *buffer) {
  auto it = live_.find(reinterpret_cast<uint64_t>(buffer));
  if (buffer == nullptr || it == live_.end() || it->second.pages) return EFI_INVALID_PARAMETER;
  const Allocation &block = it->second;
  RangeAllocator &allocator = block.region == Region::Smram ? smram_ : normal_;
  allocator.Release(block.blockStart, block.blockSize);
  POISON(block.address, block.size);
  live_.erase(it);
  ++mapKey_;
  return EFI_SUCCESS;
}

EFI_STATUS Arena::FreePages(uint64_t address, uint64_t pages) {
  if (pages == 0 || pages > kSize / kPageSize || address % kPageSize != 0) return EFI_NOT_FOUND;
  uint64_t end = address + pages * kPageSize;
  // Every page of the range must lie in a live page block.
  std::vector<uint64_t> blocks;
  for (uint64_t at = address; at < end;) {
    const Allocation *block = Find(at);
    if (block == nullptr || !block->pages) return EFI_NOT_FOUND;
    blocks.push_back(block->address);
    at = block->address + block->size;
  }
  for (uint64_t start : blocks) {
    Allocation block = live_.at(start);
    live_.erase(start);
    uint64_t cutStart = std::max(block.address, address);
    uint64_t cutEnd = std::min(block.address + block.size, end);
    if (block.address < cutStart) {
      live_[block.address] =
          Allocation{block.address, cutStart - block.address, block.type, true, block.firmware, block.region,
                     block.address, cutStart - block.address};
    }
    if (cutEnd < block.address + block.size) {
      uint64_t rest = block.address + block.size - cutEnd;
      live_[cutEnd] = Allocation{cutEnd, rest, block.type, true, block.firmware, block.region, cutEnd, rest};
    }
    (block.region == Region::Smram ? smram_ : normal_).Release(cutStart, cutEnd - cutStart);
    POISON(cutStart, cutEnd - cutStart);
  }
  ++mapKey_;
  return EFI_SUCCESS;
}

bool Arena::AllocatableType(EFI_MEMORY_TYPE type) {
  uint32_t value = static_cast<uint32_t>(type);
  if (value >= 0x70000000u) return true;  // OEM and OS ranges
  return value < EfiMaxMemoryType && type != EfiConventionalMemory && type != EfiPersistentMemory;
}

namespace {
// Which type a shared page keeps: the one whose memory must outlive the others.
int Persistence(EFI_MEMORY_TYPE type) {
  switch (type) {
    case EfiRuntimeServicesCode:
    case EfiRuntimeServicesData: return 4;
    case EfiACPIMemoryNVS:
    case EfiReservedMemoryType: return 3;
    case EfiACPIReclaimMemory: return 2;
    case EfiConventionalMemory: return 0;
    default: return 1;
  }
}
}  // namespace

std::vector<MemoryRun> Arena::MemoryMap() const {
  std::map<uint64_t, EFI_MEMORY_TYPE> pages;  // page address -> type, pages in use only
  pages[kBase] = EfiBootServicesData;         // the arena's first page is never handed out
  for (const auto &[address, block] : live_) {
    if (block.region != Region::Normal) continue;
    uint64_t first = block.blockStart & ~(kPageSize - 1);
    for (uint64_t page = first; page < block.blockStart + block.blockSize; page += kPageSize) {
      auto [it, inserted] = pages.emplace(page, block.type);
      if (!inserted && Persistence(block.type) > Persistence(it->second)) it->second = block.type;
    }
  }
  std::vector<MemoryRun> runs;
  auto add = [&runs](uint64_t start, uint64_t count, EFI_MEMORY_TYPE type) {
    if (count == 0) return;
    if (!runs.empty() && runs.back().type == type && runs.back().start + runs.back().pages * kPageSize == start) {
      runs.back().pages += count;
    } else {
      runs.push_back(MemoryRun{start, count, type});
    }
  };
  uint64_t at = kBase;
  for (const auto &[page, type] : pages) {
    add(at, (page - at) / kPageSize, EfiConventionalMemory);
    add(page, 1, type);
    at = page + kPageSize;
  }
  add(at, (SmramBase() - at) / kPageSize, EfiConventionalMemory);
  add(SmramBase(), kSmramSize / kPageSize, EfiReservedMemoryType);
  return runs;
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

std::vector<Allocation> Arena::Blocks(Region region) const {
  std::vector<Allocation> blocks;
  for (const auto &[address, block] : live_) {
    if (block.region == region) blocks.push_back(block);
  }
  return blocks;
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
    case EfiReservedMemoryType: return "EfiReservedMemoryType";
    case EfiLoaderCode: return "EfiLoaderCode";
    case EfiLoaderData: return "EfiLoaderData";
    case EfiConventionalMemory: return "EfiConventionalMemory";
    default: break;
  }
  uint32_t value = static_cast<uint32_t>(type);
  if (value >= 0x80000000u) return "OS memory type " + std::to_string(value);
  if (value >= 0x70000000u) return "OEM memory type " + std::to_string(value);
  return "memory type " + std::to_string(value);
}

}  // namespace sim
