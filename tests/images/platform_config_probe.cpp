// PlatformConfigDxe with its internal CMOS, EC and delay routines published as a
// protocol, so tests can drive each one on its own.
#include "platform_config/cmos_access.h"
#include "platform_config/ec_access.h"
#include "platform_config/library_steps.h"
#include "platform_config/manufacturing_records.h"
#include "platform_config/operations.h"
#include "runtime/shared_state/address_fixup.h"
#include "runtime/base/delay.h"
#include "runtime/shared_state/lock_box.h"
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

static EFI_STATUS EFIAPI ProbeAddressFixupRegister(VOID *PointerVariable) {
  return AddressFixupRegister(PointerVariable);
}
static EFI_STATUS EFIAPI ProbeAddressFixupRemove(VOID *PointerVariable) { return AddressFixupRemove(PointerVariable); }
static EFI_STATUS EFIAPI ProbeSaveLockBox(const EFI_GUID *Guid, const VOID *Buffer, UINTN Length) {
  return SaveLockBox(Guid, Buffer, Length);
}
static EFI_STATUS EFIAPI ProbeSetLockBoxAttributes(const EFI_GUID *Guid, UINT64 Attributes) {
  return SetLockBoxAttributes(Guid, Attributes);
}

static VOID EFIAPI ProbeReadManufacturingRecord(UINT32 Tag, UINT8 *Buffer) { ReadManufacturingRecord(Tag, Buffer); }

static PLATFORM_CONFIG_PROBE mProbe = {ProbeCmosReadGuarded,        ProbeProgramCmosOptions, ProbeEcWriteRam,
                                       ProbeEcCommandWithAck,       ProbeMicroSecondDelay,   ProbeAddressFixupRegister,
                                       ProbeAddressFixupRemove,     ProbeSaveLockBox,        ProbeSetLockBoxAttributes,
                                       ProbeReadManufacturingRecord};

static CHAR16 mStatusName[] = u"ProbeEntryStatus";

// A test may ask the entry to fail before the driver's own entry runs, so that the
// tear-down list runs after nothing but the initialisers.
static BOOLEAN RequestedFailure(EFI_STATUS *Status) {
  UINT64 Requested = EFI_SUCCESS;
  UINTN Size = sizeof(Requested);
  if (EFI_ERROR(gRT->GetVariable(mStatusName, &gProbeVariableGuid, nullptr, &Size, &Requested))) {
    return FALSE;
  }
  *Status = Requested;
  return TRUE;
}

static EFI_STATUS EFIAPI ProbeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  EFI_STATUS Status = EFI_SUCCESS;
  if (RequestedFailure(&Status)) {
    return Status;
  }
  Status = PlatformConfigDxeEntry(ImageHandle, SystemTable);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  EFI_HANDLE Handle = nullptr;
  return gBS->InstallProtocolInterface(&Handle, &gProbeProtocolGuid, EFI_NATIVE_INTERFACE, &mProbe);
}

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {
    &gPlatformConfigInitialisers, &gPlatformConfigTearDowns, ProbeEntry, FALSE, 0,
};
