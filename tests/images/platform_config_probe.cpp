// PlatformConfigDxe with its internal CMOS, EC and delay routines published as a
// protocol, so tests can drive each one on its own.
#include "platform_config/cmos_access.h"
#include "platform_config/ec_access.h"
#include "platform_config/library_steps.h"
#include "platform_config/operations.h"
#include "runtime/base/delay.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"

static UINT8 EFIAPI ProbeCmosReadGuarded(UINT16 IndexPort, UINT16 DataPort, UINT8 Register) {
  return CmosReadGuarded(IndexPort, DataPort, Register);
}
static VOID EFIAPI ProbeProgramCmosOptions(const UINT8 *SetupConfig) { ProgramCmosOptions(SetupConfig); }
static EFI_STATUS EFIAPI ProbeEcWriteRam(UINT16 Address, UINT8 Value) { return EcWriteRam(Address, Value); }
static EFI_STATUS EFIAPI ProbeEcCommandWithAck(UINT8 A, UINT8 B, UINT16 Value) { return EcCommandWithAck(A, B, Value); }
static VOID EFIAPI ProbeMicroSecondDelay(UINTN MicroSeconds) { MicroSecondDelay(MicroSeconds); }

static PLATFORM_CONFIG_PROBE mProbe = {ProbeCmosReadGuarded, ProbeProgramCmosOptions, ProbeEcWriteRam,
                                       ProbeEcCommandWithAck, ProbeMicroSecondDelay};

static EFI_STATUS EFIAPI ProbeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  EFI_STATUS Status = PlatformConfigDxeEntry(ImageHandle, SystemTable);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  EFI_HANDLE Handle = nullptr;
  return gBS->InstallProtocolInterface(&Handle, &gProbeProtocolGuid, EFI_NATIVE_INTERFACE, &mProbe);
}

const IMAGE_DESCRIPTOR gImageDescriptor = {
    gPlatformConfigInitialisers, gPlatformConfigInitialiserCount, nullptr, 0, ProbeEntry, FALSE, 0,
};
