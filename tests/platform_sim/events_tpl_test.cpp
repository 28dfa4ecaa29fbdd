// Events and TPLs: the TPL ceiling of each service, RaiseTPL/RestoreTPL misuse, and
// the order in which an installation's notifications run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/uefi/guids.h"
#include "tests/platform_sim/behaviour_table.h"

namespace {

using simtest::Behaviour;
using simtest::Bs;
using simtest::Rt;

VOID EFIAPI Nothing(EFI_EVENT, VOID *) {}

EFI_GUID kVendor = {0x0A0B0C0D, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
CHAR16 kName[] = u"Missing";

const Behaviour kRows[] = {
    {"RaiseTplDownwardsIsAFindingAndKeepsTheLevel",
     [](sim::Platform &p) {
       Bs(p)->RaiseTPL(TPL_NOTIFY);
       EXPECT_EQ(Bs(p)->RaiseTPL(TPL_CALLBACK), TPL_NOTIFY);
       return p.Core().Events().CurrentTpl() == TPL_NOTIFY ? EFI_SUCCESS : EFI_ABORTED;
     },
     EFI_SUCCESS, 1},
    {"RestoreTplUpwardsIsAFindingAndKeepsTheLevel",
     [](sim::Platform &p) {
       Bs(p)->RestoreTPL(TPL_NOTIFY);
       return p.Core().Events().CurrentTpl() == TPL_APPLICATION ? EFI_SUCCESS : EFI_ABORTED;
     },
     EFI_SUCCESS, 1},
    {"RaiseToHighLevelMasksInterruptsUntilRestored",
     [](sim::Platform &p) {
       EFI_TPL old = Bs(p)->RaiseTPL(TPL_HIGH_LEVEL);
       bool masked = !p.Processor().InterruptsEnabled();
       Bs(p)->RestoreTPL(old);
       return masked && p.Processor().InterruptsEnabled() ? EFI_SUCCESS : EFI_ABORTED;
     },
     EFI_SUCCESS},
    {"MemoryServiceAtNotifyIsAllowed",
     [](sim::Platform &p) {
       Bs(p)->RaiseTPL(TPL_NOTIFY);
       void *buffer = nullptr;
       return Bs(p)->AllocatePool(EfiBootServicesData, 8, &buffer);
     },
     EFI_SUCCESS},
    {"MemoryServiceAboveNotifyIsServedAndAFinding",
     [](sim::Platform &p) {
       Bs(p)->RaiseTPL(TPL_HIGH_LEVEL);
       void *buffer = nullptr;
       return Bs(p)->AllocatePool(EfiBootServicesData, 8, &buffer);
     },
     EFI_SUCCESS, 1},
    {"ProtocolServiceAboveNotifyIsAFinding",
     [](sim::Platform &p) {
       Bs(p)->RaiseTPL(TPL_HIGH_LEVEL);
       void *interface = nullptr;
       return Bs(p)->LocateProtocol(&gPlatformConfigProtocolGuid, nullptr, &interface);
     },
     EFI_NOT_FOUND, 1},
    {"VariableServiceAtCallbackIsAllowed",
     [](sim::Platform &p) {
       Bs(p)->RaiseTPL(TPL_CALLBACK);
       UINTN size = 0;
       return Rt(p)->GetVariable(kName, &kVendor, nullptr, &size, nullptr);
     },
     EFI_NOT_FOUND},
    {"VariableServiceAtNotifyIsAFinding",
     [](sim::Platform &p) {
       Bs(p)->RaiseTPL(TPL_NOTIFY);
       UINTN size = 0;
       return Rt(p)->GetVariable(kName, &kVendor, nullptr, &size, nullptr);
     },
     EFI_NOT_FOUND, 1},
    {"SignalAndWaitTogetherIsNoEventType",
     [](sim::Platform &p) {
       EFI_EVENT event = nullptr;
       return Bs(p)->CreateEvent(EVT_NOTIFY_SIGNAL | EVT_NOTIFY_WAIT, TPL_CALLBACK, Nothing, nullptr, &event);
     },
     EFI_INVALID_PARAMETER},
    {"ExitBootServicesTypeWithAGroupIsRefused",
     [](sim::Platform &p) {
       EFI_EVENT event = nullptr;
       return Bs(p)->CreateEventEx(EVT_SIGNAL_EXIT_BOOT_SERVICES, TPL_CALLBACK, Nothing, nullptr,
                                   &gEfiEventVirtualAddressChangeGuid, &event);
     },
     EFI_INVALID_PARAMETER},
};

class EventsAndTpl : public ::testing::TestWithParam<Behaviour> {};

TEST_P(EventsAndTpl, BehavesAsFirmwareDoes) { simtest::RunBehaviour(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Rows, EventsAndTpl, ::testing::ValuesIn(kRows), simtest::BehaviourName);

TEST(EventsAndTpl, StrictModeTurnsAFindingIntoAFailure) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.SetStrict(true);
  EXPECT_THROW(Bs(platform)->RestoreTPL(TPL_NOTIFY), sim::StrictViolation);
  EXPECT_EQ(simtest::CountEffects(platform, sim::EffectKind::Finding), 1u) << "recorded as well";
}

// Three callbacks registered for one protocol at TPL 8, 9 and 16.
std::vector<std::string> gOrder;
VOID EFIAPI At8(EFI_EVENT, VOID *) { gOrder.push_back("8"); }
VOID EFIAPI At9(EFI_EVENT, VOID *) { gOrder.push_back("9"); }
VOID EFIAPI At16(EFI_EVENT, VOID *) { gOrder.push_back("16"); }

void RegisterThree(sim::Platform &platform) {
  const std::pair<EFI_TPL, EFI_EVENT_NOTIFY> callbacks[] = {{8, At8}, {9, At9}, {16, At16}};
  for (const auto &[tpl, notify] : callbacks) {
    EFI_EVENT event = nullptr;
    void *registration = nullptr;
    ASSERT_EQ(Bs(platform)->CreateEvent(EVT_NOTIFY_SIGNAL, tpl, notify, nullptr, &event), EFI_SUCCESS);
    ASSERT_EQ(Bs(platform)->RegisterProtocolNotify(&gSetupDataProtocolGuid, event, &registration), EFI_SUCCESS);
  }
}

TEST(InstallationOrder, CallbacksAt8And9And16RunHighestFirstBeforeTheInstallReturns) {
  gOrder.clear();
  sim::Platform platform(sim::PlatformProfile{});
  RegisterThree(platform);
  int interface = 0;
  EFI_HANDLE handle = nullptr;
  ASSERT_EQ(Bs(platform)->InstallProtocolInterface(&handle, &gSetupDataProtocolGuid, EFI_NATIVE_INTERFACE, &interface),
            EFI_SUCCESS);
  EXPECT_EQ(gOrder, (std::vector<std::string>{"16", "9", "8"}));
}

// Installed from a TPL_CALLBACK notification: 16 and 9 run when the lock is released,
// 8 only once the installing callback has returned.
VOID EFIAPI InstallFromCallback(EFI_EVENT, VOID *) {
  static int interface = 0;
  EFI_HANDLE handle = nullptr;
  sim::Platform::Current().Core().BootServices()->InstallProtocolInterface(&handle, &gSetupDataProtocolGuid,
                                                                           EFI_NATIVE_INTERFACE, &interface);
  gOrder.push_back("installed");
}

TEST(InstallationOrder, FromACallbackTheEqualLevelWaitsForTheCallerToReturn) {
  gOrder.clear();
  sim::Platform platform(sim::PlatformProfile{});
  RegisterThree(platform);
  EFI_EVENT trigger = nullptr;
  ASSERT_EQ(Bs(platform)->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, InstallFromCallback, nullptr, &trigger),
            EFI_SUCCESS);
  Bs(platform)->SignalEvent(trigger);
  EXPECT_EQ(gOrder, (std::vector<std::string>{"16", "9", "installed", "8"}));
}

}  // namespace
