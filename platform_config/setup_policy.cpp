// Operation 0 of PlatformConfigProtocol: derive the policy byte of the caller's setup
// record, and keep "PchSetup" byte 23 in line with the manufacturing flag and the CMOS
// override marker, resetting the platform whenever that byte had to change.
#include "platform_config/cmos_access.h"
#include "platform_config/manufacturing_records.h"
#include "platform_config/operations.h"
#include "platform_config/setup_records.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

static CHAR16 mPchSetupName[] = u"PchSetup";

static VOID ApplyPolicyByte(UINT8 *SetupConfig) {
  for (UINTN Offset = SETUP_BYTE_POLICY_CONDITION_FIRST; Offset <= SETUP_BYTE_POLICY_CONDITION_LAST; Offset++) {
    if (SetupConfig[Offset] != 1) {
      return;  // never cleared here
    }
  }
  SetupConfig[SETUP_BYTE_POLICY] = 1;
}

// 0 when manufacturing is flagged or the override is present, else 1.
static UINT8 WantedOverrideByte(VOID) {
  UINT8 Manufacturing[MANUFACTURING_RECORD_SIZE];
  ReadManufacturingRecord(TAG_MFG0, Manufacturing);
  if (Manufacturing[MFG0_BYTE_MANUFACTURING_FLAG] == 1) {
    return 0;
  }
  return CmosRead(CMOS_REG_OVERRIDE_MARKER) == CMOS_OVERRIDE_PRESENT ? 0 : 1;
}

EFI_STATUS EFIAPI UpdateSetupPolicy(PLATFORM_CONFIG_PROTOCOL *This, UINT8 *SetupConfig) {
  (void)This;
  if (SetupConfig == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  ApplyPolicyByte(SetupConfig);

  if (CmosReadGuarded(CMOS_BANK2_INDEX_PORT, CMOS_BANK2_DATA_PORT, CMOS_REG_HOLD_MARKER) == CMOS_HOLD_PCH_SETUP) {
    return EFI_SUCCESS;
  }

  UINT8 PchSetup[PCH_SETUP_BUFFER_SIZE];
  UINTN Size = PCH_SETUP_BUFFER_SIZE;
  EFI_STATUS Status = gRT->GetVariable(mPchSetupName, &gPchSetupVariableGuid, nullptr, &Size, PchSetup);
  if (!EFI_ERROR(Status) && Size <= PCH_SETUP_BYTE_OVERRIDE) {
    // A record without byte 23 can never be brought in line: writing it back and
    // resetting would repeat on every boot.
    Status = EFI_BAD_BUFFER_SIZE;
  }
  if (EFI_ERROR(Status)) {
    return Status;
  }

  UINT8 New = WantedOverrideByte();
  if (PchSetup[PCH_SETUP_BYTE_OVERRIDE] == New) {
    return EFI_SUCCESS;
  }
  PchSetup[PCH_SETUP_BYTE_OVERRIDE] = New;
  Status = gRT->SetVariable(mPchSetupName, &gPchSetupVariableGuid, CONFIG_VARIABLE_ATTRIBUTES, Size, PchSetup);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  gRT->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr);
  return EFI_SUCCESS;  // not reached: the reset does not return
}
