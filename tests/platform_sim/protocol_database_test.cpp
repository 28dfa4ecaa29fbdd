// The protocol database: registration cursors, handle searches, open-protocol rules,
// multiple installs, and every service slot of the published tables filled.
#include <gtest/gtest.h>

#include "runtime/uefi/dxe_services.h"
#include "runtime/uefi/guids.h"
#include "tests/platform_sim/behaviour_table.h"

namespace {

using simtest::Behaviour;
using simtest::Bs;

EFI_GUID kOther = {0x5D3A1B20, 0x0C44, 0x4E11, {0x9A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};
VOID EFIAPI Nothing(EFI_EVENT, VOID *) {}

void *Register(sim::Platform &platform, EFI_GUID *guid) {
  EFI_EVENT event = nullptr;
  void *registration = nullptr;
  Bs(platform)->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, Nothing, nullptr, &event);
  Bs(platform)->RegisterProtocolNotify(guid, event, &registration);
  return registration;
}

EFI_HANDLE Install(sim::Platform &platform, EFI_GUID *guid, void *interface, EFI_HANDLE handle = nullptr) {
  Bs(platform)->InstallProtocolInterface(&handle, guid, EFI_NATIVE_INTERFACE, interface);
  return handle;
}

int gFirst = 1, gSecond = 2;

const Behaviour kRows[] = {
    {"LocateByKeyFindsAnInstanceInstalledBeforeTheRegistration",
     [](sim::Platform &p) {
       Install(p, &gSetupDataProtocolGuid, &gFirst);
       void *key = Register(p, &gSetupDataProtocolGuid);
       void *interface = nullptr;
       EFI_STATUS status = Bs(p)->LocateProtocol(&gSetupDataProtocolGuid, key, &interface);
       EXPECT_EQ(interface, &gFirst);
       return status;
     },
     EFI_SUCCESS},
    {"LocateByKeyHandsOutEachInstanceOnceInInstallationOrder",
     [](sim::Platform &p) {
       void *key = Register(p, &gSetupDataProtocolGuid);
       EFI_HANDLE first = Install(p, &gSetupDataProtocolGuid, &gFirst);
       Install(p, &gSetupDataProtocolGuid, &gSecond);
       Install(p, &kOther, &gSecond, first);  // another protocol, on the older handle
       void *interface = nullptr;
       Bs(p)->LocateProtocol(&gSetupDataProtocolGuid, key, &interface);
       EXPECT_EQ(interface, &gFirst);
       Bs(p)->LocateProtocol(&gSetupDataProtocolGuid, key, &interface);
       EXPECT_EQ(interface, &gSecond);
       return Bs(p)->LocateProtocol(&gSetupDataProtocolGuid, key, &interface);
     },
     EFI_NOT_FOUND},
    {"UninstallingANullInterfaceLeavesOtherProtocolsRegistrations",
     [](sim::Platform &p) {
       void *key = Register(p, &kOther);
       EFI_HANDLE a = Install(p, &gSetupDataProtocolGuid, nullptr);
       Install(p, &kOther, nullptr);
       EXPECT_EQ(Bs(p)->UninstallProtocolInterface(a, &gSetupDataProtocolGuid, nullptr), EFI_SUCCESS);
       void *interface = &gFirst;
       EFI_STATUS status = Bs(p)->LocateProtocol(&kOther, key, &interface);
       EXPECT_EQ(interface, nullptr);
       return status;
     },
     EFI_SUCCESS},
    {"ReinstallMovesTheInstanceToTheTailSoRegistrationsSeeItAgain",
     [](sim::Platform &p) {
       void *key = Register(p, &gSetupDataProtocolGuid);
       EFI_HANDLE handle = Install(p, &gSetupDataProtocolGuid, &gFirst);
       void *interface = nullptr;
       Bs(p)->LocateProtocol(&gSetupDataProtocolGuid, key, &interface);
       Bs(p)->ReinstallProtocolInterface(handle, &gSetupDataProtocolGuid, &gFirst, &gSecond);
       EFI_STATUS status = Bs(p)->LocateProtocol(&gSetupDataProtocolGuid, key, &interface);
       EXPECT_EQ(interface, &gSecond);
       return status;
     },
     EFI_SUCCESS},
    {"LocateHandleBufferAllHandles",
     [](sim::Platform &p) {
       UINTN count = 0;
       EFI_HANDLE *handles = nullptr;
       EFI_STATUS status = Bs(p)->LocateHandleBuffer(AllHandles, nullptr, nullptr, &count, &handles);
       EXPECT_EQ(count, p.Core().Protocols().Handles().size());
       Bs(p)->FreePool(handles);
       return status;
     },
     EFI_SUCCESS},
    {"LocateHandleBufferByRegisterNotifyGivesTheNextHandleOnce",
     [](sim::Platform &p) {
       EFI_HANDLE handle = Install(p, &gSetupDataProtocolGuid, &gFirst);
       void *key = Register(p, &gSetupDataProtocolGuid);
       UINTN count = 0;
       EFI_HANDLE *handles = nullptr;
       EXPECT_EQ(Bs(p)->LocateHandleBuffer(ByRegisterNotify, nullptr, key, &count, &handles), EFI_SUCCESS);
       EXPECT_EQ(count, 1u);
       if (count == 1) EXPECT_EQ(handles[0], handle);
       Bs(p)->FreePool(handles);
       return Bs(p)->LocateHandleBuffer(ByRegisterNotify, nullptr, key, &count, &handles);
     },
     EFI_NOT_FOUND},
    {"LocateHandleBufferByProtocolWithoutAProtocol",
     [](sim::Platform &p) {
       UINTN count = 0;
       EFI_HANDLE *handles = nullptr;
       return Bs(p)->LocateHandleBuffer(ByProtocol, nullptr, nullptr, &count, &handles);
     },
     EFI_INVALID_PARAMETER},
    {"LocateHandleTellsTheSizeItNeeds",
     [](sim::Platform &p) {
       Install(p, &gSetupDataProtocolGuid, &gFirst);
       Install(p, &gSetupDataProtocolGuid, &gSecond);
       UINTN size = sizeof(EFI_HANDLE);
       EFI_HANDLE one = nullptr;
       EFI_STATUS status = Bs(p)->LocateHandle(ByProtocol, &gSetupDataProtocolGuid, nullptr, &size, &one);
       EXPECT_EQ(size, 2 * sizeof(EFI_HANDLE));
       return status;
     },
     EFI_BUFFER_TOO_SMALL},
    {"HandleProtocolOnAnUnknownHandle",
     [](sim::Platform &p) {
       void *interface = nullptr;
       return Bs(p)->HandleProtocol(&gFirst, &gSetupDataProtocolGuid, &interface);
     },
     EFI_INVALID_PARAMETER},
    {"OpenProtocolByDriverTwiceBySameAgentIsAlreadyStarted",
     [](sim::Platform &p) {
       EFI_HANDLE controller = Install(p, &gSetupDataProtocolGuid, &gFirst);
       EFI_HANDLE agent = Install(p, &kOther, &gSecond);
       void *interface = nullptr;
       EXPECT_EQ(Bs(p)->OpenProtocol(controller, &gSetupDataProtocolGuid, &interface, agent, controller,
                                     EFI_OPEN_PROTOCOL_BY_DRIVER),
                 EFI_SUCCESS);
       EXPECT_EQ(interface, &gFirst);
       return Bs(p)->OpenProtocol(controller, &gSetupDataProtocolGuid, &interface, agent, controller,
                                  EFI_OPEN_PROTOCOL_BY_DRIVER);
     },
     EFI_ALREADY_STARTED},
    {"OpenProtocolByDriverHeldByAnotherAgentIsDenied",
     [](sim::Platform &p) {
       EFI_HANDLE controller = Install(p, &gSetupDataProtocolGuid, &gFirst);
       EFI_HANDLE agent = Install(p, &kOther, &gSecond);
       EFI_HANDLE other = Install(p, &kOther, &gFirst);
       void *interface = nullptr;
       Bs(p)->OpenProtocol(controller, &gSetupDataProtocolGuid, &interface, agent, controller,
                           EFI_OPEN_PROTOCOL_BY_DRIVER);
       EXPECT_EQ(Bs(p)->UninstallProtocolInterface(controller, &gSetupDataProtocolGuid, &gFirst), EFI_ACCESS_DENIED)
           << "a protocol held by a driver stays";
       return Bs(p)->OpenProtocol(controller, &gSetupDataProtocolGuid, &interface, other, controller,
                                  EFI_OPEN_PROTOCOL_BY_DRIVER);
     },
     EFI_ACCESS_DENIED},
    {"CloseProtocolNeverOpenedIsNotFound",
     [](sim::Platform &p) {
       EFI_HANDLE controller = Install(p, &gSetupDataProtocolGuid, &gFirst);
       void *interface = nullptr;
       EXPECT_EQ(Bs(p)->OpenProtocol(controller, &gSetupDataProtocolGuid, &interface, controller, nullptr,
                                     EFI_OPEN_PROTOCOL_GET_PROTOCOL),
                 EFI_SUCCESS);
       EXPECT_EQ(Bs(p)->CloseProtocol(controller, &gSetupDataProtocolGuid, controller, nullptr), EFI_SUCCESS);
       return Bs(p)->CloseProtocol(controller, &gSetupDataProtocolGuid, controller, nullptr);
     },
     EFI_NOT_FOUND},
    {"InstallMultipleInstallsAllOrNone",
     [](sim::Platform &p) {
       EFI_HANDLE handle = nullptr;
       EFI_STATUS status = Bs(p)->InstallMultipleProtocolInterfaces(
           &handle, &gSetupDataProtocolGuid, &gFirst, &kOther, &gSecond, &gSetupDataProtocolGuid, &gSecond, nullptr);
       EXPECT_EQ(handle, nullptr) << "the new handle is gone again";
       EXPECT_EQ(simtest::Locate<void>(p, kOther), nullptr);
       return status;
     },
     EFI_INVALID_PARAMETER},
    {"InstallMultipleThenUninstallMultiple",
     [](sim::Platform &p) {
       EFI_HANDLE handle = nullptr;
       EXPECT_EQ(Bs(p)->InstallMultipleProtocolInterfaces(&handle, &gSetupDataProtocolGuid, &gFirst, &kOther, &gSecond,
                                                          nullptr),
                 EFI_SUCCESS);
       EXPECT_EQ(simtest::Locate<void>(p, kOther), &gSecond);
       return Bs(p)->UninstallMultipleProtocolInterfaces(handle, &gSetupDataProtocolGuid, &gFirst, &kOther, &gSecond,
                                                         nullptr);
     },
     EFI_SUCCESS},
    {"AServiceNotModelledRecordsAFault",
     [](sim::Platform &p) {
       auto connect =
           reinterpret_cast<EFI_STATUS(EFIAPI *)(EFI_HANDLE, EFI_HANDLE *, VOID *, BOOLEAN)>(Bs(p)->ConnectController);
       return connect(nullptr, nullptr, nullptr, TRUE);
     },
     EFI_UNSUPPORTED, 0, 1},
};

class ProtocolDatabaseRows : public ::testing::TestWithParam<Behaviour> {};

TEST_P(ProtocolDatabaseRows, BehavesAsFirmwareDoes) { simtest::RunBehaviour(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Rows, ProtocolDatabaseRows, ::testing::ValuesIn(kRows), simtest::BehaviourName);

// Every slot after the header of each table, and every member of each HII interface.
void ExpectFilled(const char *table, const void *base, size_t offset, size_t size) {
  const auto *slots = reinterpret_cast<void *const *>(static_cast<const uint8_t *>(base) + offset);
  for (size_t index = 0; index < (size - offset) / sizeof(void *); ++index) {
    EXPECT_NE(slots[index], nullptr) << table << " slot " << index;
  }
}

TEST(ServiceTables, EverySlotIsFilledAndTheHiiPlaceholdersHaveTheProtocolsSize) {
  sim::Platform platform(sim::PlatformProfile{});
  ExpectFilled("boot services", Bs(platform), sizeof(EFI_TABLE_HEADER), sizeof(EFI_BOOT_SERVICES));
  ExpectFilled("runtime services", simtest::Rt(platform), sizeof(EFI_TABLE_HEADER), sizeof(EFI_RUNTIME_SERVICES));
  ExpectFilled("DXE services", platform.Core().FindConfigurationTable(gEfiDxeServicesTableGuid),
               sizeof(EFI_TABLE_HEADER), sizeof(EFI_DXE_SERVICES));
  const std::pair<EFI_GUID *, size_t> hii[] = {{&gEfiHiiStringProtocolGuid, 5},
                                               {&gEfiHiiDatabaseProtocolGuid, 11},
                                               {&gEfiHiiConfigRoutingProtocolGuid, 6},
                                               {&gEfiHiiFontProtocolGuid, 4},
                                               {&gEfiHiiImageProtocolGuid, 5}};
  for (const auto &[guid, members] : hii) {
    void *interface = simtest::Locate<void>(platform, *guid);
    ASSERT_NE(interface, nullptr);
    const sim::Allocation *block = platform.Memory().Find(reinterpret_cast<uint64_t>(interface));
    ASSERT_NE(block, nullptr);
    // String and Database carry their model behind the members.
    EXPECT_GE(block->size, members * sizeof(void *)) << sim::GuidName(*guid);
    ExpectFilled(sim::GuidName(*guid).c_str(), interface, 0, members * sizeof(void *));
  }
  ExpectFilled("PCD", simtest::Locate<void>(platform, gPcdProtocolGuid), 0, sizeof(PCD_PROTOCOL));
  ExpectFilled("EFI PCD", simtest::Locate<void>(platform, gEfiPcdProtocolGuid), 0, sizeof(EFI_PCD_PROTOCOL));
  // A member called: the fault names it.
  auto **font = simtest::Locate<void *>(platform, gEfiHiiFontProtocolGuid);
  reinterpret_cast<EFI_STATUS(EFIAPI *)(VOID *, CHAR16, const VOID *, VOID **, UINTN *)>(font[2])(font, 0, nullptr,
                                                                                                  nullptr, nullptr);
  auto faults = platform.Trace().OfKind(sim::EffectKind::Fault);
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].what, "service HiiFont.GetGlyph not modelled");
}

}  // namespace
