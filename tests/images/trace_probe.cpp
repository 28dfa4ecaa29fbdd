// The runtime's post-code and trace-hub routines published as a protocol, in an image
// that runs PlatformConfigDxe's initialisers (DXE) or PowerEventLogSmm's (SMM).
#include "runtime/base/services.h"
#include "runtime/entry/image_entry.h"
#include "runtime/trace/post_code.h"
#include "runtime/trace/trace_hub.h"
#include "runtime/trace/trace_hub_internal.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"

#if defined(PROBE_SMM_LISTS)
#include "power_event_log/library_steps.h"
#define PROBE_INITIALISERS gPowerEventLogInitialisers
#else
#include "platform_config/library_steps.h"
#define PROBE_INITIALISERS gPlatformConfigInitialisers
#endif

static UINT32 EFIAPI ProbeEmitPostCode(UINT32 Code) { return EmitPostCode(Code); }
static BOOLEAN EFIAPI ProbePostCodeReportingEnabled(VOID) { return PostCodeReportingEnabled(); }
static EFI_STATUS EFIAPI ProbeTraceHubWriteText(UINT32 Severity, const CHAR8 *Text, UINTN Length,
                                                BOOLEAN LengthFollows) {
  return TraceHubWriteText(Severity, Text, Length, LengthFollows);
}
static EFI_STATUS EFIAPI ProbeTraceHubChannelAddress(UINT32 Master, UINT32 Channel, UINT64 *Address) {
  return TraceHubChannelAddress(Master, Channel, Address);
}

static TRACE_PROBE mProbe = {ProbeEmitPostCode, ProbePostCodeReportingEnabled, ProbeTraceHubWriteText,
                             ProbeTraceHubChannelAddress};

static EFI_STATUS EFIAPI ProbeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  EFI_HANDLE Handle = nullptr;
  if (gSmst != nullptr) {
    return gSmst->SmmInstallProtocolInterface(&Handle, &gTraceProbeProtocolGuid, EFI_NATIVE_INTERFACE, &mProbe);
  }
  return gBS->InstallProtocolInterface(&Handle, &gTraceProbeProtocolGuid, EFI_NATIVE_INTERFACE, &mProbe);
}

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {
    &PROBE_INITIALISERS, &gNoLibrarySteps, ProbeEntry, FALSE, 0,
};
