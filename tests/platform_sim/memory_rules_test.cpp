// Memory services as firmware has them: 8-byte pool alignment, memory types, sizes
// that cannot be met, partial page frees, bad frees, and the memory map.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/platform_sim/behaviour_table.h"

namespace {

using simtest::Behaviour;
using simtest::Bs;

EFI_STATUS Pool(sim::Platform &p, uint32_t type, UINTN size = 24) {
  void *buffer = nullptr;
  return Bs(p)->AllocatePool(static_cast<EFI_MEMORY_TYPE>(type), size, &buffer);
}

EFI_STATUS Pages(sim::Platform &p, uint32_t type, UINTN pages) {
  EFI_PHYSICAL_ADDRESS address = 0;
  return Bs(p)->AllocatePages(AllocateAnyPages, static_cast<EFI_MEMORY_TYPE>(type), pages, &address);
}

const Behaviour kRows[] = {
    {"PoolBlocksAreEightButNotSixteenByteAligned",
     [](sim::Platform &p) {
       for (UINTN size : {1, 8, 16, 24, 100}) {
         void *buffer = nullptr;
         Bs(p)->AllocatePool(EfiBootServicesData, size, &buffer);
         EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer) % 16, 8u) << size;
       }
       return EFI_SUCCESS;
     },
     EFI_SUCCESS},
    {"OemMemoryTypeIsAccepted", [](sim::Platform &p) { return Pool(p, 0x70000001u); }, EFI_SUCCESS},
    {"OsMemoryTypeIsAccepted", [](sim::Platform &p) { return Pages(p, 0x80000000u, 1); }, EFI_SUCCESS},
    {"TypeBetweenTheUefiAndOemRangesIsRefused", [](sim::Platform &p) { return Pool(p, 0x6FFFFFFFu); },
     EFI_INVALID_PARAMETER},
    {"ConventionalMemoryCannotBeAllocated", [](sim::Platform &p) { return Pool(p, EfiConventionalMemory); },
     EFI_INVALID_PARAMETER},
    {"PersistentMemoryCannotBeAllocated", [](sim::Platform &p) { return Pages(p, EfiPersistentMemory, 1); },
     EFI_INVALID_PARAMETER},
    {"PoolOfSizeMaxFailsCleanly", [](sim::Platform &p) { return Pool(p, EfiBootServicesData, SIZE_MAX); },
     EFI_OUT_OF_RESOURCES},
    {"NoPagesIsNotARequest", [](sim::Platform &p) { return Pages(p, EfiBootServicesData, 0); }, EFI_INVALID_PARAMETER},
    {"TwoToThe52PagesFailCleanly", [](sim::Platform &p) { return Pages(p, EfiBootServicesData, 1ull << 52); },
     EFI_OUT_OF_RESOURCES},
    {"PartOfAPageAllocationCanBeFreed",
     [](sim::Platform &p) {
       EFI_PHYSICAL_ADDRESS address = 0;
       Bs(p)->AllocatePages(AllocateAnyPages, EfiBootServicesData, 4, &address);
       EFI_STATUS status = Bs(p)->FreePages(address + 0x1000, 2);
       EXPECT_NE(p.Memory().Find(address), nullptr);
       EXPECT_EQ(p.Memory().Find(address + 0x1000), nullptr);
       EXPECT_NE(p.Memory().Find(address + 0x3000), nullptr);
       EXPECT_EQ(Bs(p)->FreePages(address, 1), EFI_SUCCESS);
       EXPECT_EQ(Bs(p)->FreePages(address + 0x3000, 1), EFI_SUCCESS);
       EXPECT_TRUE(p.Memory().DriverAllocations().empty());
       return status;
     },
     EFI_SUCCESS},
    {"FreeingPagesNotAllocatedIsAFault",
     [](sim::Platform &p) {
       EFI_PHYSICAL_ADDRESS address = 0;
       Bs(p)->AllocatePages(AllocateAnyPages, EfiBootServicesData, 1, &address);
       return Bs(p)->FreePages(address, 2);
     },
     EFI_NOT_FOUND, 0, 1},
    {"ABadFreePoolIsAFault",
     [](sim::Platform &p) {
       void *buffer = nullptr;
       Bs(p)->AllocatePool(EfiBootServicesData, 16, &buffer);
       return Bs(p)->FreePool(static_cast<uint8_t *>(buffer) + 8);
     },
     EFI_INVALID_PARAMETER, 0, 1},
    {"TheMemoryMapTellsItsSizeAndADescriptorLargerThanTheStructure",
     [](sim::Platform &p) {
       UINTN size = 0, key = 0, descriptorSize = 0;
       UINT32 version = 0;
       EFI_STATUS status = Bs(p)->GetMemoryMap(&size, nullptr, &key, &descriptorSize, &version);
       EXPECT_EQ(descriptorSize, sizeof(EFI_MEMORY_DESCRIPTOR) + 8);
       EXPECT_EQ(version, 1u);
       EXPECT_GT(size, 0u);
       return status;
     },
     EFI_BUFFER_TOO_SMALL},
    {"TheMemoryMapShowsRuntimePagesAndItsKeyMovesWithEachAllocation",
     [](sim::Platform &p) {
       EFI_PHYSICAL_ADDRESS runtime = 0;
       Bs(p)->AllocatePages(AllocateAnyPages, EfiRuntimeServicesData, 2, &runtime);
       std::vector<uint8_t> map(64 * 1024);
       UINTN size = map.size(), key = 0, descriptorSize = 0;
       UINT32 version = 0;
       EFI_STATUS status = Bs(p)->GetMemoryMap(&size, reinterpret_cast<EFI_MEMORY_DESCRIPTOR *>(map.data()), &key,
                                               &descriptorSize, &version);
       bool found = false;
       for (UINTN offset = 0; offset + descriptorSize <= size; offset += descriptorSize) {
         const auto *descriptor = reinterpret_cast<const EFI_MEMORY_DESCRIPTOR *>(map.data() + offset);
         if (descriptor->PhysicalStart <= runtime &&
             runtime < descriptor->PhysicalStart + descriptor->NumberOfPages * 0x1000) {
           found = descriptor->Type == EfiRuntimeServicesData && (descriptor->Attribute & (1ull << 63)) != 0;
         }
       }
       EXPECT_TRUE(found);
       void *buffer = nullptr;
       Bs(p)->AllocatePool(EfiBootServicesData, 8, &buffer);
       EXPECT_NE(p.Memory().MapKey(), key);
       return status;
     },
     EFI_SUCCESS},
};

class MemoryRows : public ::testing::TestWithParam<Behaviour> {};

TEST_P(MemoryRows, BehavesAsFirmwareDoes) { simtest::RunBehaviour(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Rows, MemoryRows, ::testing::ValuesIn(kRows), simtest::BehaviourName);

}  // namespace
