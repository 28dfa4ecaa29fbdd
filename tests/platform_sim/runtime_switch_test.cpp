// The change to runtime: ExitBootServices and what it leaves usable, the events of the
// two special types, and ConvertPointer accepting only runtime memory.
#include <gtest/gtest.h>

#include "runtime/uefi/guids.h"
#include "tests/platform_sim/behaviour_table.h"

namespace {

using simtest::Behaviour;
using simtest::Bs;
using simtest::Rt;

int gRuns = 0;
VOID EFIAPI Count(EFI_EVENT, VOID *) { ++gRuns; }

UINTN MapKey(sim::Platform &p) {
  UINTN size = 0, key = 0, descriptorSize = 0;
  UINT32 version = 0;
  Bs(p)->GetMemoryMap(&size, nullptr, &key, &descriptorSize, &version);
  std::vector<uint8_t> map(size + 4 * descriptorSize);
  size = map.size();
  Bs(p)->GetMemoryMap(&size, reinterpret_cast<EFI_MEMORY_DESCRIPTOR *>(map.data()), &key, &descriptorSize, &version);
  return key;
}

// Converts one pointer during the switch, from a virtual-address-change event.
void *gPointer = nullptr;
EFI_STATUS gConversion = EFI_SUCCESS;
VOID EFIAPI ConvertOne(EFI_EVENT, VOID *) {
  gConversion = sim::Platform::Current().SystemTable()->RuntimeServices->ConvertPointer(0, &gPointer);
}

EFI_STATUS ConvertAtTheSwitch(sim::Platform &p, void *pointer) {
  gPointer = pointer;
  EFI_EVENT event = nullptr;
  Bs(p)->CreateEvent(EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE, TPL_NOTIFY, ConvertOne, nullptr, &event);
  gConversion = EFI_ABORTED;
  EXPECT_EQ(p.Core().SetVirtualAddressMap(), EFI_SUCCESS);
  return gConversion;
}

const Behaviour kRows[] = {
    {"AVirtualAddressChangeTypeEventFiresAtTheSwitch",
     [](sim::Platform &p) {
       void *runtime = nullptr;
       Bs(p)->AllocatePool(EfiRuntimeServicesData, 8, &runtime);
       return ConvertAtTheSwitch(p, runtime);
     },
     EFI_SUCCESS},
    {"ConvertingBootServicesDataIsNotFound",
     [](sim::Platform &p) {
       void *boot = nullptr;
       Bs(p)->AllocatePool(EfiBootServicesData, 8, &boot);
       return ConvertAtTheSwitch(p, boot);
     },
     EFI_NOT_FOUND},
    {"ConvertingAHostStackAddressIsNotFound",
     [](sim::Platform &p) {
       int local = 0;
       return ConvertAtTheSwitch(p, &local);
     },
     EFI_NOT_FOUND},
    {"ConvertingTheRuntimeServicesTable", [](sim::Platform &p) { return ConvertAtTheSwitch(p, Rt(p)); }, EFI_SUCCESS},
    {"ExitBootServicesWithAStaleMapKey",
     [](sim::Platform &p) {
       UINTN key = MapKey(p);
       void *buffer = nullptr;
       Bs(p)->AllocatePool(EfiBootServicesData, 8, &buffer);
       return Bs(p)->ExitBootServices(nullptr, key);
     },
     EFI_INVALID_PARAMETER},
    {"ExitBootServicesRunsItsEventsAndClearsTheTable",
     [](sim::Platform &p) {
       gRuns = 0;
       EFI_EVENT event = nullptr;
       Bs(p)->CreateEvent(EVT_SIGNAL_EXIT_BOOT_SERVICES, TPL_CALLBACK, Count, nullptr, &event);
       EFI_STATUS status = Bs(p)->ExitBootServices(nullptr, MapKey(p));
       EXPECT_EQ(gRuns, 1);
       EXPECT_EQ(p.SystemTable()->BootServices, nullptr);
       return status;
     },
     EFI_SUCCESS},
    {"ABootServiceAfterTheExitIsAFault",
     [](sim::Platform &p) {
       EFI_BOOT_SERVICES *bs = Bs(p);
       bs->ExitBootServices(nullptr, MapKey(p));
       void *buffer = nullptr;
       return bs->AllocatePool(EfiBootServicesData, 8, &buffer);
     },
     EFI_UNSUPPORTED, 0, 1},
    {"OnlyRuntimeVariablesRemainAfterTheExit",
     [](sim::Platform &p) {
       CHAR16 name[] = u"BootOnly";
       EFI_GUID vendor = gSetupVariableGuid;
       UINT8 value = 1;
       Rt(p)->SetVariable(name, &vendor, 0x3, 1, &value);
       Bs(p)->ExitBootServices(nullptr, MapKey(p));
       UINTN size = 1;
       EXPECT_EQ(Rt(p)->SetVariable(name, &vendor, 0x3, 1, &value), EFI_INVALID_PARAMETER);
       return Rt(p)->GetVariable(name, &vendor, nullptr, &size, &value);
     },
     EFI_NOT_FOUND},
    {"SetVirtualAddressMapOnlyAfterTheExit",
     [](sim::Platform &p) {
       auto setMap = reinterpret_cast<EFI_STATUS(EFIAPI *)(UINTN, UINTN, UINT32, EFI_MEMORY_DESCRIPTOR *)>(
           Rt(p)->SetVirtualAddressMap);
       EXPECT_EQ(setMap(0, 48, 1, nullptr), EFI_UNSUPPORTED);
       Bs(p)->ExitBootServices(nullptr, MapKey(p));
       return setMap(0, 48, 1, nullptr);
     },
     EFI_SUCCESS},
};

class RuntimeSwitchRows : public ::testing::TestWithParam<Behaviour> {};

TEST_P(RuntimeSwitchRows, BehavesAsFirmwareDoes) { simtest::RunBehaviour(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Rows, RuntimeSwitchRows, ::testing::ValuesIn(kRows), simtest::BehaviourName);

}  // namespace
