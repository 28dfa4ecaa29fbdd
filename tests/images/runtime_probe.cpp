// A probe image for the entry framework: it runs one deliverable's initialiser list,
// reports the module values it ended with, and returns the status a test asks for;
// when that is an error, it runs the deliverable's tear-down list and notes that.
#include "runtime/base/pcd_protocols.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/entry/image_entry.h"
#include "runtime/shared_state/shared_state.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"

#if defined(PROBE_SMM_LISTS)
#include "power_event_log/library_steps.h"
#define PROBE_INITIALISERS gPowerEventLogInitialisers
#define PROBE_EXIT_CONTEXT TRUE
#define PROBE_TEAR_DOWNS gPowerEventLogTearDowns
#else
#include "disk_info/library_steps.h"
#define PROBE_INITIALISERS gDiskInfoInitialisers
#define PROBE_EXIT_CONTEXT FALSE
#define PROBE_TEAR_DOWNS gNoLibrarySteps
#endif

static CHAR16 mStateName[] = u"ProbeState";
static CHAR16 mStatusName[] = u"ProbeEntryStatus";
static CHAR16 mTearDownName[] = u"ProbeTearDown";

#if defined(PROBE_SMM_LISTS)
static CHAR16 mSmmStateName[] = u"ProbeSmmState";

static VOID EFIAPI ProbeFreePool(VOID *Buffer) { FreePool(Buffer); }
static RUNTIME_PROBE_SMM mSmmProbe = {ProbeFreePool};

static VOID PublishSmmState(VOID) {
  PROBE_SMM_STATE State = {(UINT64)gPcd,       (UINT64)gPiPcd,       (UINT64)gPcdInfo,
                           (UINT64)gPiPcdInfo, (UINT64)gSmramRanges, (UINT64)gSmramRangeCount};
  gRT->SetVariable(mSmmStateName, &gProbeVariableGuid, EFI_VARIABLE_BOOTSERVICE_ACCESS, sizeof(State), &State);
  EFI_HANDLE Handle = nullptr;
  gBS->InstallProtocolInterface(&Handle, &gSmmProbeProtocolGuid, EFI_NATIVE_INTERFACE, &mSmmProbe);
}
#endif

static EFI_STATUS EFIAPI ProbeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  PROBE_STATE State = {(UINT64)gST,      (UINT64)gBS,        (UINT64)gRT,          (UINT64)gHobList,
                       (UINT64)gDS,      (UINT64)gHiiString, (UINT64)gHiiDatabase, (UINT64)gHiiConfigRouting,
                       (UINT64)gHiiFont, (UINT64)gHiiImage,  gTscFrequency,        (UINT64)gSmst};
  gRT->SetVariable(mStateName, &gProbeVariableGuid, EFI_VARIABLE_BOOTSERVICE_ACCESS, sizeof(State), &State);
  UINT64 Status = EFI_SUCCESS;
  UINTN Size = sizeof(Status);
  gRT->GetVariable(mStatusName, &gProbeVariableGuid, nullptr, &Size, &Status);
#if defined(PROBE_SMM_LISTS)
  PublishSmmState();
#endif
  return Status;
}

static EFI_STATUS EFIAPI ProbeTearDown(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  RunLibrarySteps(&PROBE_TEAR_DOWNS, ImageHandle, SystemTable);
  UINT8 Ran = 1;
  SystemTable->RuntimeServices->SetVariable(mTearDownName, &gProbeVariableGuid, EFI_VARIABLE_BOOTSERVICE_ACCESS,
                                            sizeof(Ran), &Ran);
  return EFI_SUCCESS;
}

static const LIBRARY_STEP mTearDownSteps[] = {ProbeTearDown};
static constinit const LIBRARY_LIST mTearDowns = LIBRARY_LIST_OF(mTearDownSteps);

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {
    &PROBE_INITIALISERS, &mTearDowns, ProbeEntry, PROBE_EXIT_CONTEXT, 0,
};
