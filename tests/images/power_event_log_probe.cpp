// A probe with the SMM driver's sources: it publishes the RTC reader for tests, then
// runs the driver's own entry.
#include "power_event_log/library_steps.h"
#include "runtime/base/pcd_protocols.h"
#include "runtime/base/services.h"
#include "runtime/shared_state/shared_state.h"
#include "runtime/uefi/status.h"
#include "tests/images/power_event_log_probe.h"

static UINT8 EFIAPI ProbeReadRtcRegister(UINT8 Register) { return ReadRtcRegister(Register); }
static EFI_STATUS EFIAPI ProbeReadRtcTime(EFI_TIME *Time, EFI_TIME_CAPABILITIES *Capabilities) {
  return ReadRtcTime(Time, Capabilities);
}

static VOID EFIAPI ProbeBootTimePointers(POWER_EVENT_LOG_PROBE_POINTERS *Pointers) {
  Pointers->SystemTable = (UINT64)(UINTN)gST;
  Pointers->BootServices = (UINT64)(UINTN)gBS;
  Pointers->RuntimeServices = (UINT64)(UINTN)gRT;
  Pointers->DxeServices = (UINT64)(UINTN)gDS;
  Pointers->HobList = (UINT64)(UINTN)gHobList;
  Pointers->Pcd = (UINT64)(UINTN)gPcd;
  Pointers->PiPcd = (UINT64)(UINTN)gPiPcd;
  Pointers->PcdInfo = (UINT64)(UINTN)gPcdInfo;
  Pointers->PiPcdInfo = (UINT64)(UINTN)gPiPcdInfo;
}

static POWER_EVENT_LOG_PROBE mProbe = {ProbeReadRtcRegister, ProbeReadRtcTime, ProbeBootTimePointers};

static EFI_STATUS EFIAPI ProbeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  EFI_HANDLE Handle = ImageHandle;
  EFI_STATUS Status =
      gBS->InstallProtocolInterface(&Handle, &gPowerEventLogProbeProtocolGuid, EFI_NATIVE_INTERFACE, &mProbe);
  return EFI_ERROR(Status) ? Status : PowerEventLogSmmEntry(ImageHandle, SystemTable);
}

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {
    &gPowerEventLogInitialisers, &gPowerEventLogTearDowns, ProbeEntry, TRUE, 0,
};
