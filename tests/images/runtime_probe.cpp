// A probe image for the entry framework: it runs one deliverable's initialiser list,
// reports the module values it ended with, and returns the status a test asks for.
#include "runtime/base/services.h"
#include "runtime/entry/image_entry.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"

#if defined(PROBE_SMM_LISTS)
#include "power_event_log/library_steps.h"
#define PROBE_INITIALISERS gPowerEventLogInitialisers
#define PROBE_INITIALISER_COUNT gPowerEventLogInitialiserCount
#define PROBE_EXIT_CONTEXT TRUE
#else
#include "disk_info/library_steps.h"
#define PROBE_INITIALISERS gDiskInfoInitialisers
#define PROBE_INITIALISER_COUNT gDiskInfoInitialiserCount
#define PROBE_EXIT_CONTEXT FALSE
#endif

static CHAR16 mStateName[] = u"ProbeState";
static CHAR16 mStatusName[] = u"ProbeEntryStatus";
static CHAR16 mTearDownName[] = u"ProbeTearDown";

static EFI_STATUS EFIAPI ProbeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  PROBE_STATE State = {(UINT64)gST, (UINT64)gBS, (UINT64)gRT, (UINT64)gHobList, (UINT64)gDS,
                       (UINT64)gHiiString, (UINT64)gHiiDatabase, (UINT64)gHiiConfigRouting, (UINT64)gHiiFont,
                       (UINT64)gHiiImage, gTscFrequency, (UINT64)gSmst};
  gRT->SetVariable(mStateName, &gProbeVariableGuid, EFI_VARIABLE_BOOTSERVICE_ACCESS, sizeof(State), &State);
  UINT64 Status = EFI_SUCCESS;
  UINTN Size = sizeof(Status);
  gRT->GetVariable(mStatusName, &gProbeVariableGuid, nullptr, &Size, &Status);
  return Status;
}

static EFI_STATUS EFIAPI ProbeTearDown(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  UINT8 Ran = 1;
  SystemTable->RuntimeServices->SetVariable(mTearDownName, &gProbeVariableGuid, EFI_VARIABLE_BOOTSERVICE_ACCESS,
                                            sizeof(Ran), &Ran);
  return EFI_SUCCESS;
}

static const LIBRARY_STEP mTearDowns[] = {ProbeTearDown};

const IMAGE_DESCRIPTOR gImageDescriptor = {
    PROBE_INITIALISERS, PROBE_INITIALISER_COUNT, mTearDowns, ARRAY_COUNT(mTearDowns), ProbeEntry, PROBE_EXIT_CONTEXT,
    0,
};
