// EngineProbeDxe: exercises the ways control crosses between an image and the firmware.
#include "runtime/base/services.h"
#include "runtime/entry/image_entry.h"
#include "runtime/entry/initialisers.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"

static CHAR16 mNotifyName[] = u"EngineProbeNotify";
static UINT32 mInsideInstall;

static UINT64 EFIAPI ProbeMix(UINT64 A, UINT64 B, UINT64 C, UINT64 D, UINT64 E, UINT64 F, UINT64 G) {
  // Every argument weighs differently, so a swapped or lost one shows.
  return A + 2 * B + 3 * C + 4 * D + 5 * E + 6 * F + 7 * G;
}

static VOID EFIAPI ProbeFault(UINT32 Kind) {
  if (Kind == EngineProbeReadUnmapped) {
    volatile UINT64 *Nowhere = (volatile UINT64 *)(UINTN)0x40;
    (void)*Nowhere;
  } else if (Kind == EngineProbeCallNull) {
    VOID(EFIAPI *volatile Nothing)(VOID) = nullptr;
    Nothing();
  } else if (Kind == EngineProbeInvalidInstruction) {
    __asm__ __volatile__("ud2");
  } else if (Kind == EngineProbeEndlessLoop) {
    for (;;) {
      __asm__ __volatile__("" ::: "memory");
    }
  }
}

static VOID EFIAPI ProbeReset(VOID) { gRT->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr); }

static VOID EFIAPI ProbeCallAddress(UINT64 Address) { ((VOID(EFIAPI *)(VOID))(UINTN)Address)(); }

static ENGINE_PROBE mProbe = {ProbeMix, ProbeFault, ProbeReset, ProbeCallAddress, 0, 0};

static VOID EFIAPI ProbeNotify(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  ENGINE_PROBE *Probe = (ENGINE_PROBE *)Context;
  Probe->Notifications++;
  Probe->NotifiedInsideInstall = mInsideInstall;
  // A service call from inside the notify function: one level deeper still.
  gRT->SetVariable(mNotifyName, &gProbeVariableGuid, EFI_VARIABLE_BOOTSERVICE_ACCESS, sizeof(Probe->Notifications),
                   &Probe->Notifications);
}

static CHAR16 mFaultAtEntryName[] = u"EngineProbeFaultAtEntry";

static EFI_STATUS EFIAPI ProbeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  // A test can make the entry itself fault.
  UINT32 Kind = 0;
  UINTN Size = sizeof(Kind);
  if (gRT->GetVariable(mFaultAtEntryName, &gProbeVariableGuid, nullptr, &Size, &Kind) == EFI_SUCCESS) ProbeFault(Kind);
  EFI_EVENT Event = nullptr;
  EFI_STATUS Status = gBS->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, ProbeNotify, &mProbe, &Event);
  if (EFI_ERROR(Status)) return Status;
  VOID *Registration = nullptr;
  Status = gBS->RegisterProtocolNotify(&gEngineProbeProtocolGuid, Event, &Registration);
  if (EFI_ERROR(Status)) return Status;
  EFI_HANDLE Handle = nullptr;
  mInsideInstall = 1;
  Status = gBS->InstallProtocolInterface(&Handle, &gEngineProbeProtocolGuid, EFI_NATIVE_INTERFACE, &mProbe);
  mInsideInstall = 0;
  return Status;
}

static const LIBRARY_STEP mInitialiserSteps[] = {InitBootServicesTable, InitRuntimeServicesTable};
static constinit const LIBRARY_LIST mInitialisers = LIBRARY_LIST_OF(mInitialiserSteps);

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {&mInitialisers, &gNoLibrarySteps, ProbeEntry, FALSE, 0};
