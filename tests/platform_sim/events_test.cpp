// Events and TPLs as UEFI defines them, and protocol-notify registrations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace {

std::vector<std::string> gRuns;

VOID EFIAPI RecordA(EFI_EVENT, VOID *) { gRuns.push_back("A"); }
VOID EFIAPI RecordB(EFI_EVENT, VOID *) { gRuns.push_back("B"); }

TEST(Events, NotificationsWaitForTheTplToDropAndRunHighestFirst) {
  gRuns.clear();
  sim::Platform platform(sim::PlatformProfile{});
  EFI_BOOT_SERVICES *bs = platform.SystemTable()->BootServices;
  EFI_EVENT callback = nullptr;
  EFI_EVENT notify = nullptr;
  ASSERT_EQ(bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, RecordA, nullptr, &callback), EFI_SUCCESS);
  ASSERT_EQ(bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, RecordB, nullptr, &notify), EFI_SUCCESS);

  bs->SignalEvent(callback);
  EXPECT_EQ(gRuns, std::vector<std::string>{"A"}) << "runs at once from TPL_APPLICATION";

  gRuns.clear();
  EFI_TPL old = bs->RaiseTPL(TPL_NOTIFY);
  bs->SignalEvent(callback);
  bs->SignalEvent(notify);
  bs->SignalEvent(callback);  // still pending: runs once
  EXPECT_TRUE(gRuns.empty());
  bs->RestoreTPL(old);
  EXPECT_EQ(gRuns, (std::vector<std::string>{"B", "A"}));

  EXPECT_EQ(bs->CloseEvent(callback), EFI_SUCCESS);
  EXPECT_EQ(bs->CloseEvent(callback), EFI_INVALID_PARAMETER);
  EXPECT_EQ(bs->SignalEvent(callback), EFI_INVALID_PARAMETER);
}

TEST(Events, ProtocolNotifyHandsEachNewInterfaceToItsRegistration) {
  gRuns.clear();
  sim::Platform platform(sim::PlatformProfile{});
  EFI_BOOT_SERVICES *bs = platform.SystemTable()->BootServices;
  EFI_EVENT event = nullptr;
  void *registration = nullptr;
  bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, RecordA, nullptr, &event);
  ASSERT_EQ(bs->RegisterProtocolNotify(&gSetupDataProtocolGuid, event, &registration), EFI_SUCCESS);

  int first = 1, second = 2;
  EFI_HANDLE handle = nullptr;
  ASSERT_EQ(bs->InstallProtocolInterface(&handle, &gSetupDataProtocolGuid, EFI_NATIVE_INTERFACE, &first), EFI_SUCCESS);
  EXPECT_EQ(bs->InstallProtocolInterface(&handle, &gSetupDataProtocolGuid, EFI_NATIVE_INTERFACE, &second),
            EFI_INVALID_PARAMETER)
      << "one instance of a protocol per handle";
  EFI_HANDLE other = nullptr;
  bs->InstallProtocolInterface(&other, &gSetupDataProtocolGuid, EFI_NATIVE_INTERFACE, &second);
  EXPECT_EQ(gRuns.size(), 2u);

  void *interface = nullptr;
  EXPECT_EQ(bs->LocateProtocol(&gSetupDataProtocolGuid, registration, &interface), EFI_SUCCESS);
  EXPECT_EQ(interface, &first);
  EXPECT_EQ(bs->LocateProtocol(&gSetupDataProtocolGuid, registration, &interface), EFI_SUCCESS);
  EXPECT_EQ(interface, &second);
  EXPECT_EQ(bs->LocateProtocol(&gSetupDataProtocolGuid, registration, &interface), EFI_NOT_FOUND);
  EXPECT_EQ(bs->LocateProtocol(&gSetupDataProtocolGuid, nullptr, &interface), EFI_SUCCESS);
  EXPECT_EQ(interface, &first);
}

TEST(ConfigurationTables, InstallReplaceAndRemove) {
  sim::Platform platform(sim::PlatformProfile{});
  EFI_BOOT_SERVICES *bs = platform.SystemTable()->BootServices;
  UINTN before = platform.SystemTable()->NumberOfTableEntries;
  uint64_t a = 1, b = 2;
  EXPECT_EQ(bs->InstallConfigurationTable(&gTscFrequencyGuid, &a), EFI_SUCCESS);
  EXPECT_EQ(bs->InstallConfigurationTable(&gTscFrequencyGuid, &b), EFI_SUCCESS);
  EXPECT_EQ(platform.SystemTable()->NumberOfTableEntries, before + 1);
  EXPECT_EQ(platform.Core().FindConfigurationTable(gTscFrequencyGuid), &b);
  EXPECT_EQ(bs->InstallConfigurationTable(&gTscFrequencyGuid, nullptr), EFI_SUCCESS);
  EXPECT_EQ(bs->InstallConfigurationTable(&gTscFrequencyGuid, nullptr), EFI_NOT_FOUND);
  EXPECT_EQ(platform.SystemTable()->NumberOfTableEntries, before);
}

}  // namespace
