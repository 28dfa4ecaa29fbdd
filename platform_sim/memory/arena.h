// Simulated physical memory: one fixed mapping below 4 GiB, so a pointer handed to a
// driver is the same number on the host and in an emulated guest. Pool and page
// allocations carry their memory type; SMRAM is a separate range at the top.
//
// Pool blocks are 8-byte aligned, which is all UEFI promises: each sits behind an
// 8-byte head, as in common firmware, so a block is never 16-byte aligned and code
// that assumes more shows up.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/uefi/types.h"

namespace sim {

enum class Region { Normal, Smram };

struct Allocation {
  uint64_t address = 0;
  uint64_t size = 0;
  EFI_MEMORY_TYPE type = EfiBootServicesData;
  bool pages = false;
  bool firmware = false;  // platform-owned (tables, handles): not a driver leak
  Region region = Region::Normal;
  uint64_t blockStart = 0;  // the range taken from the allocator (head and red zone included)
  uint64_t blockSize = 0;
};

// One entry of the memory map: a run of pages of one type.
struct MemoryRun {
  uint64_t start = 0;
  uint64_t pages = 0;
  EFI_MEMORY_TYPE type = EfiConventionalMemory;
};

// First-fit allocator over a set of free address ranges.
class RangeAllocator {
 public:
  RangeAllocator(uint64_t base, uint64_t size);
  std::optional<uint64_t> Allocate(uint64_t size, uint64_t align, uint64_t maxAddress);
  bool AllocateAt(uint64_t address, uint64_t size);
  void Release(uint64_t address, uint64_t size);
  bool Contains(uint64_t address) const { return address >= base_ && address < base_ + size_; }

 private:
  uint64_t base_;
  uint64_t size_;
  std::map<uint64_t, uint64_t> free_;  // start -> length
};

struct AllocationFaults {
  uint64_t failNth = 0;                     // 1-based index of the driver allocation that fails; 0 = none
  std::optional<EFI_MEMORY_TYPE> failType;  // every driver allocation of this type fails
};

class Arena {
 public:
  static constexpr uint64_t kBase = 0x10000000;
  static constexpr uint64_t kSize = 0x10000000;       // 256 MiB
  static constexpr uint64_t kSmramSize = 0x01000000;  // top 16 MiB
  static constexpr uint64_t kPageSize = 0x1000;

  Arena();
  ~Arena();
  Arena(const Arena &) = delete;
  Arena &operator=(const Arena &) = delete;

  // Driver-visible allocations; null / nullopt when out of memory or a fault is injected.
  void *AllocatePool(EFI_MEMORY_TYPE type, uint64_t size, Region region = Region::Normal);
  std::optional<uint64_t> AllocatePages(EFI_ALLOCATE_TYPE how, EFI_MEMORY_TYPE type, uint64_t pages, uint64_t address,
                                        Region region = Region::Normal);
  // Platform-owned memory for tables and handles.
  // The SMM core's own tables, interfaces and handles are in SMRAM, as on a real machine:
  // code in an SMI reads them without reading memory the operating system can write.
  void *AllocateFirmware(uint64_t size, EFI_MEMORY_TYPE type = EfiBootServicesData, Region region = Region::Normal);
  // A zeroed platform-owned object: a table, a protocol interface.
  template <typename T>
  T *NewFirmware(EFI_MEMORY_TYPE type = EfiBootServicesData, Region region = Region::Normal) {
    return static_cast<T *>(AllocateFirmware(sizeof(T), type, region));
  }
  template <typename T>
  T *NewSmmFirmware() {
    return NewFirmware<T>(EfiRuntimeServicesData, Region::Smram);
  }

  // EFI_SUCCESS, or EFI_INVALID_PARAMETER for an address that is not a live pool block.
  EFI_STATUS FreePool(void *buffer);
  // Any whole pages of live page allocations, also part of one: EFI_NOT_FOUND when a
  // page of the range is not allocated by AllocatePages.
  EFI_STATUS FreePages(uint64_t address, uint64_t pages);

  // A memory type a caller may allocate: the UEFI types up to EfiMaxMemoryType (not
  // conventional or persistent memory), and the OEM and OS ranges.
  static bool AllocatableType(EFI_MEMORY_TYPE type);
  static bool RuntimeType(EFI_MEMORY_TYPE type) {
    return type == EfiRuntimeServicesCode || type == EfiRuntimeServicesData;
  }
  // The memory map of the normal range: runs of pages by type, conventional where
  // nothing is allocated. A page shared by blocks of different types takes the type
  // that must survive longest (runtime over ACPI over boot services). The key changes
  // with every allocation and free.
  std::vector<MemoryRun> MemoryMap() const;
  uint64_t MapKey() const { return mapKey_; }

  bool InArena(uint64_t address, uint64_t size = 1) const;
  bool InSmram(uint64_t address) const;
  uint64_t SmramBase() const { return kBase + kSize - kSmramSize; }
  const Allocation *Find(uint64_t address) const;
  std::vector<Allocation> DriverAllocations() const;    // live, not platform-owned
  std::vector<Allocation> Blocks(Region region) const;  // live, platform-owned ones too

  // Platform-owned pages (a loaded image, the emulator's stack): page-aligned, zeroed,
  // never a driver allocation.
  void *AllocateFirmwarePages(uint64_t pages, EFI_MEMORY_TYPE type, Region region = Region::Normal);
  // Whether a platform-owned block holds this 64-bit value at an aligned offset: how
  // the emulated engine knows that a host routine address was handed out by the platform.
  // With a region: only a block of that region counts (an SMRAM table publishes the
  // routines SMM code may call).
  bool PlatformHoldsWord(uint64_t value) const;
  bool PlatformHoldsWord(uint64_t value, Region region) const;

  AllocationFaults &Faults() { return faults_; }
  uint64_t DriverAllocationCount() const { return driverAllocations_; }

 private:
  bool InjectFault(EFI_MEMORY_TYPE type);
  void *Track(const Allocation &block);
  void *TrackPool(uint64_t blockStart, uint64_t size, EFI_MEMORY_TYPE type, bool firmware, Region region);

  void *mapping_ = nullptr;
  RangeAllocator normal_;
  RangeAllocator smram_;
  std::map<uint64_t, Allocation> live_;
  AllocationFaults faults_;
  uint64_t driverAllocations_ = 0;
  uint64_t mapKey_ = 1;
};

std::string MemoryTypeName(EFI_MEMORY_TYPE type);

}  // namespace sim
