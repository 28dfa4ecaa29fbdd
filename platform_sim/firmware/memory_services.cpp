// The memory boot services: pool and pages with memory-type checks, and the memory map.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform_sim/firmware/boot_service_entries.h"
#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/dxe_services.h"
#include "runtime/uefi/status.h"

namespace sim::bs {

namespace {

Arena &Memory() { return Platform::Current().Memory(); }

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

// Common firmware reports a descriptor size larger than the structure, so that callers
// who step by sizeof(EFI_MEMORY_DESCRIPTOR) instead of DescriptorSize show up.
constexpr UINTN kDescriptorSize = sizeof(EFI_MEMORY_DESCRIPTOR) + sizeof(UINT64);

}  // namespace

EFI_STATUS EFIAPI AllocatePages(EFI_ALLOCATE_TYPE type, EFI_MEMORY_TYPE memoryType, UINTN pages,
                                EFI_PHYSICAL_ADDRESS *memory) {
  if (!EnterBootService("AllocatePages", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (memory == nullptr || static_cast<uint32_t>(type) >= MaxAllocateType || !Arena::AllocatableType(memoryType)) {
    return EFI_INVALID_PARAMETER;
  }
  // The specification leaves a request for no pages open; refusing it keeps a
  // zero-length block from sharing the address of a live one.
  if (pages == 0) return EFI_INVALID_PARAMETER;
  auto address = Memory().AllocatePages(type, memoryType, pages, *memory);
  if (!address) return type == AllocateAddress ? EFI_NOT_FOUND : EFI_OUT_OF_RESOURCES;
  *memory = *address;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FreePages(EFI_PHYSICAL_ADDRESS memory, UINTN pages) {
  if (!EnterBootService("FreePages", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (memory % Arena::kPageSize != 0) return EFI_INVALID_PARAMETER;
  EFI_STATUS status = Memory().FreePages(memory, pages);
  if (status != EFI_SUCCESS) {
    Platform::Current().Fault("FreePages of " + std::to_string(pages) + " pages at " + Hex(memory) +
                              ", not all allocated pages");
  }
  return status;
}

EFI_STATUS EFIAPI GetMemoryMap(UINTN *mapSize, EFI_MEMORY_DESCRIPTOR *map, UINTN *mapKey, UINTN *descriptorSize,
                               UINT32 *descriptorVersion) {
  if (!EnterBootService("GetMemoryMap", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (mapSize == nullptr) return EFI_INVALID_PARAMETER;
  std::vector<MemoryRun> runs = Memory().MemoryMap();
  UINTN needed = runs.size() * kDescriptorSize;
  if (descriptorSize != nullptr) *descriptorSize = kDescriptorSize;
  if (descriptorVersion != nullptr) *descriptorVersion = EFI_MEMORY_DESCRIPTOR_VERSION;
  if (*mapSize < needed) {
    *mapSize = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (map == nullptr) return EFI_INVALID_PARAMETER;
  auto *bytes = reinterpret_cast<uint8_t *>(map);
  std::memset(bytes, 0, needed);
  for (size_t index = 0; index < runs.size(); ++index) {
    EFI_MEMORY_DESCRIPTOR descriptor{};
    descriptor.Type = static_cast<UINT32>(runs[index].type);
    descriptor.PhysicalStart = runs[index].start;
    descriptor.NumberOfPages = runs[index].pages;
    descriptor.Attribute = EFI_MEMORY_WB | (Arena::RuntimeType(runs[index].type) ? EFI_MEMORY_RUNTIME : 0);
    std::memcpy(bytes + index * kDescriptorSize, &descriptor, sizeof(descriptor));
  }
  *mapSize = needed;
  if (mapKey != nullptr) *mapKey = Memory().MapKey();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  if (!EnterBootService("AllocatePool", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (buffer == nullptr || !Arena::AllocatableType(type)) return EFI_INVALID_PARAMETER;
  *buffer = Memory().AllocatePool(type, size);
  return *buffer == nullptr ? EFI_OUT_OF_RESOURCES : EFI_SUCCESS;
}

EFI_STATUS EFIAPI FreePool(VOID *buffer) {
  if (!EnterBootService("FreePool", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  // SMRAM pool belongs to the SMM services.
  uint64_t address = reinterpret_cast<uint64_t>(buffer);
  EFI_STATUS status = Memory().InSmram(address) ? EFI_INVALID_PARAMETER : Memory().FreePool(buffer);
  if (status != EFI_SUCCESS) Platform::Current().Fault("FreePool of " + Hex(address) + ", not a live pool block");
  return status;
}

}  // namespace sim::bs
