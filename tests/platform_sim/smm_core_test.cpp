// The SMM side of the platform: the SMST with every member filled, SMRAM pool and page
// types, synchronous SMM notifications, root SMI handlers, the Sx dispatcher's checks and
// its run at SLP_EN, and boot services that are gone once the operating system owns the
// machine.
#include <gtest/gtest.h>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/support/sim_helpers.h"

namespace {

sim::PlatformProfile SmmPlatform() {
  sim::PlatformProfile profile;
  profile.smmBase = true;
  return profile;
}

struct SmmBench {
  SmmBench() : platform(SmmPlatform()), smm(platform.Core().Smm()), smst(platform.Core().Smst()) {}
  sim::Platform platform;
  sim::SmmModeScope smm;
  EFI_SMM_SYSTEM_TABLE2 *smst;
};

TEST(SmmSystemTable, EveryMemberIsFilledAndAnUnmodelledOneRecordsAFault) {
  SmmBench bench;
  auto *slots = reinterpret_cast<void *const *>(bench.smst);
  for (size_t offset = sizeof(EFI_TABLE_HEADER); offset < sizeof(EFI_SMM_SYSTEM_TABLE2); offset += 8) {
    if (offset == offsetof(EFI_SMM_SYSTEM_TABLE2, SmmFirmwareRevision) ||
        offset == offsetof(EFI_SMM_SYSTEM_TABLE2, CurrentlyExecutingCpu) ||
        offset == offsetof(EFI_SMM_SYSTEM_TABLE2, NumberOfTableEntries) ||
        offset == offsetof(EFI_SMM_SYSTEM_TABLE2, SmmConfigurationTable)) {
      continue;  // values, not pointers (or no table yet)
    }
    EXPECT_NE(slots[offset / 8], nullptr) << "SMST offset " << offset;
  }
  UINT8 byte = 0;
  EXPECT_EQ(bench.smst->SmmIo.Io.Read(&bench.smst->SmmIo, 0, 0x80, 1, &byte), EFI_UNSUPPORTED);
  EXPECT_EQ(bench.smst->SmmStartupThisAp(nullptr, 0, nullptr), EFI_UNSUPPORTED);
  EXPECT_EQ(bench.platform.Core().Smm().Faults(),
            (std::vector<std::string>{"SMST SmmIo.Io.Read is not modelled", "SMST SmmStartupThisAp is not modelled"}));
  EXPECT_EQ(simtest::CountEffects(bench.platform, sim::EffectKind::Fault), 2u);
}

struct PoolCase {
  EFI_MEMORY_TYPE type;
  EFI_STATUS status;
};

TEST(SmmSystemTable, PoolAndPagesComeFromSmramForRuntimeTypesOnly) {
  SmmBench bench;
  const PoolCase cases[] = {{EfiRuntimeServicesData, EFI_SUCCESS},
                            {EfiRuntimeServicesCode, EFI_SUCCESS},
                            {EfiBootServicesData, EFI_INVALID_PARAMETER},
                            {EfiACPIMemoryNVS, EFI_INVALID_PARAMETER}};
  for (const PoolCase &c : cases) {
    SCOPED_TRACE(sim::MemoryTypeName(c.type));
    VOID *buffer = nullptr;
    EXPECT_EQ(bench.smst->SmmAllocatePool(c.type, 64, &buffer), c.status);
    EFI_PHYSICAL_ADDRESS pages = 0;
    EXPECT_EQ(bench.smst->SmmAllocatePages(AllocateAnyPages, c.type, 2, &pages), c.status);
    if (c.status != EFI_SUCCESS) continue;
    EXPECT_TRUE(bench.platform.Memory().InSmram(reinterpret_cast<uint64_t>(buffer)));
    EXPECT_TRUE(bench.platform.Memory().InSmram(pages));
    EXPECT_EQ(bench.smst->SmmFreePool(buffer), EFI_SUCCESS);
    EXPECT_EQ(bench.smst->SmmFreePages(pages, 2), EFI_SUCCESS);
  }
}

std::vector<std::string> gNotified;
EFI_STATUS EFIAPI RecordNotify(CONST EFI_GUID *, VOID *interface, EFI_HANDLE) {
  gNotified.push_back(interface == nullptr ? "null" : static_cast<const char *>(interface));
  return EFI_SUCCESS;
}

TEST(SmmProtocolDatabase, NotificationsRunInsideTheInstallationUntilRemoved) {
  SmmBench bench;
  gNotified.clear();
  VOID *registration = nullptr;
  ASSERT_EQ(bench.smst->SmmRegisterProtocolNotify(&gPowerEventLogProtocolGuid, RecordNotify, &registration),
            EFI_SUCCESS);
  static char first[] = "first";
  static char second[] = "second";
  EFI_HANDLE handle = nullptr;
  ASSERT_EQ(bench.smst->SmmInstallProtocolInterface(&handle, &gPowerEventLogProtocolGuid, EFI_NATIVE_INTERFACE, first),
            EFI_SUCCESS);
  EXPECT_EQ(gNotified, std::vector<std::string>{"first"}) << "called before the installation returned";
  ASSERT_EQ(bench.smst->SmmRegisterProtocolNotify(&gPowerEventLogProtocolGuid, nullptr, &registration), EFI_SUCCESS);
  handle = nullptr;
  bench.smst->SmmInstallProtocolInterface(&handle, &gPowerEventLogProtocolGuid, EFI_NATIVE_INTERFACE, second);
  EXPECT_EQ(gNotified, std::vector<std::string>{"first"});
}

int gRootCalls = 0;
EFI_STATUS EFIAPI RootHandler(EFI_HANDLE, CONST VOID *, VOID *, UINTN *) {
  ++gRootCalls;
  return sim::Platform::Current().Core().InSmm() ? EFI_SUCCESS : EFI_ABORTED;
}

TEST(SmiHandlers, ARootHandlerRunsInSmmAtEachSmiUntilUnregistered) {
  sim::Platform platform(SmmPlatform());
  EFI_SMM_SYSTEM_TABLE2 *smst = platform.Core().Smst();
  gRootCalls = 0;
  EFI_HANDLE dispatch = nullptr;
  ASSERT_EQ(smst->SmiHandlerRegister(RootHandler, nullptr, &dispatch), EFI_SUCCESS);
  platform.Core().Smm().RaiseSmi("test");
  EXPECT_EQ(gRootCalls, 1);
  EXPECT_FALSE(platform.Core().InSmm()) << "the processor leaves SMM after the SMI";
  {
    sim::SmmModeScope smm(platform.Core().Smm());
    EXPECT_EQ(smst->SmiManage(nullptr, nullptr, nullptr, nullptr), EFI_SUCCESS);
  }
  EXPECT_EQ(smst->SmiHandlerUnRegister(dispatch), EFI_SUCCESS);
  EXPECT_EQ(smst->SmiHandlerUnRegister(dispatch), EFI_INVALID_PARAMETER);
  platform.Core().Smm().RaiseSmi("test");
  EXPECT_EQ(gRootCalls, 2);
}

EFI_STATUS EFIAPI SxChild(EFI_HANDLE, CONST VOID *, VOID *, UINTN *) { return EFI_SUCCESS; }

struct RegisterCase {
  const char *name;
  bool function, context, handle;
  uint32_t type, phase;
  EFI_STATUS status;
};

TEST(SxDispatcher, RegisterChecksItsParametersAndThePlatformsCombinations) {
  sim::PlatformProfile profile = SmmPlatform();
  profile.sxUnsupported = {{SxS2, SxEntry}};
  sim::Platform platform(profile);
  EFI_SMM_SX_DISPATCH2_PROTOCOL *sx = nullptr;
  ASSERT_EQ(
      platform.Core().SmmProtocols().Locate(gEfiSmmSxDispatch2ProtocolGuid, nullptr, reinterpret_cast<void **>(&sx)),
      EFI_SUCCESS);
  const RegisterCase cases[] = {
      {"valid", true, true, true, SxS3, SxEntry, EFI_SUCCESS},
      {"exit phase", true, true, true, SxS3, SxExit, EFI_SUCCESS},
      {"null function", false, true, true, SxS3, SxEntry, EFI_INVALID_PARAMETER},
      {"null context", true, false, true, SxS3, SxEntry, EFI_INVALID_PARAMETER},
      {"null handle", true, true, false, SxS3, SxEntry, EFI_INVALID_PARAMETER},
      {"type out of range", true, true, true, EfiMaximumSleepType, SxEntry, EFI_INVALID_PARAMETER},
      {"phase out of range", true, true, true, SxS3, EfiMaximumPhase, EFI_INVALID_PARAMETER},
      {"refused by the platform", true, true, true, SxS2, SxEntry, EFI_UNSUPPORTED},
  };
  for (const RegisterCase &c : cases) {
    SCOPED_TRACE(c.name);
    EFI_SMM_SX_REGISTER_CONTEXT context{static_cast<EFI_SLEEP_TYPE>(c.type), static_cast<EFI_SLEEP_PHASE>(c.phase)};
    EFI_HANDLE handle = nullptr;
    EXPECT_EQ(
        sx->Register(sx, c.function ? SxChild : nullptr, c.context ? &context : nullptr, c.handle ? &handle : nullptr),
        c.status);
  }
  EXPECT_EQ(platform.Core().SxDispatch().Registrations().size(), 2u);
}

TEST(SxDispatcher, SlpEnRaisesTheSmiThenTheTransitionCompletes) {
  sim::Platform platform(SmmPlatform());
  platform.EnterSleepState(5);
  EXPECT_EQ(platform.Core().Smm().SmiCount(), 1u);
  EXPECT_EQ(platform.Pmc().SleepState(), 5);
  EXPECT_FALSE(platform.Pmc().SleepSmiPending());
  EXPECT_EQ(platform.Bus().IoRead(sim::PowerManagementController::kPm1Control, 2) &
                sim::PowerManagementController::kSleepEnable,
            0u)
      << "SLP_EN reads 0";
}

TEST(BootServices, AfterTheOperatingSystemTookOverACallIsARecordedFault) {
  sim::Platform platform(SmmPlatform());
  EFI_BOOT_SERVICES *bs = platform.SystemTable()->BootServices;
  VOID *interface = nullptr;
  EXPECT_EQ(bs->LocateProtocol(&gEfiSmmBase2ProtocolGuid, nullptr, &interface), EFI_SUCCESS);
  platform.Core().HandOverToOperatingSystem();
  EXPECT_EQ(bs->LocateProtocol(&gEfiSmmBase2ProtocolGuid, nullptr, &interface), EFI_UNSUPPORTED);
  EXPECT_EQ(bs->AllocatePool(EfiBootServicesData, 8, &interface), EFI_UNSUPPORTED);
  std::vector<std::string> faults;
  for (const sim::Effect &effect : platform.Trace().OfKind(sim::EffectKind::Fault)) faults.push_back(effect.what);
  EXPECT_EQ(faults, (std::vector<std::string>{"boot service LocateProtocol called after ExitBootServices",
                                              "boot service AllocatePool called after ExitBootServices"}));
}

}  // namespace
