// Operation 1 of PlatformConfigProtocol: bring the caller's setup record, the CMOS
// option bits and the password variables in line with the manufacturing data.
#include "platform_config/cmos_access.h"
#include "platform_config/manufacturing_records.h"
#include "platform_config/operations.h"
#include "platform_config/password_provisioning.h"
#include "platform_config/setup_records.h"
#include "runtime/base/cpu.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tagstore/tag_store.h"

static CHAR16 mLoadFlagName[] = u"LDFG";
static CHAR16 mSetupName[] = u"Setup";

static VOID ApplyManufacturingFlags(UINT8 *SetupConfig) {
  UINT8 Manufacturing[MANUFACTURING_RECORD_SIZE];
  UINT8 Configuration[MANUFACTURING_RECORD_SIZE];
  ReadManufacturingRecord(TAG_MFG0, Manufacturing);
  ReadManufacturingRecord(TAG_CNF1, Configuration);
  if (Manufacturing[MFG0_BYTE_MANUFACTURING_FLAG] == 1) {
    SetupConfig[SETUP_BYTE_MANUFACTURING] = 1;
    SetupConfig[SETUP_BYTE_CONFIG_MODE] = 0;
  } else {
    SetupConfig[SETUP_BYTE_MANUFACTURING] = Configuration[CNF1_BYTE_CONFIGURED] == 0xFF ? 0 : 1;
    SetupConfig[SETUP_BYTE_CONFIG_MODE] = 2;
  }
}

// "LDFG" is created with its default when absent; 0x7A lets the "CNF1" byte as last
// flushed to flash decide byte 121.
static VOID ApplyLoadFlag(UINT8 *SetupConfig) {
  UINT8 LoadFlag = 0;
  UINTN Size = sizeof(LoadFlag);
  EFI_STATUS Status = gRT->GetVariable(mLoadFlagName, &gLoadFlagVariableGuid, nullptr, &Size, &LoadFlag);
  if (Status == EFI_NOT_FOUND) {
    LoadFlag = LOAD_FLAG_DEFAULT;
    gRT->SetVariable(mLoadFlagName, &gLoadFlagVariableGuid, CONFIG_VARIABLE_ATTRIBUTES, sizeof(LoadFlag), &LoadFlag);
  } else if (EFI_ERROR(Status)) {
    return;
  }
  if (LoadFlag == LOAD_FLAG_USE_FLASH) {
    UINT8 FlashByte = MmioRead8(TAG_STORE_BLOCK_BASE + CNF1_FLASH_OPTION_OFFSET);
    SetupConfig[SETUP_BYTE_FLASH_OPTION] = FlashByte == 0xFF ? 2 : 0;
  }
}

EFI_STATUS EFIAPI LoadPlatformConfig(PLATFORM_CONFIG_PROTOCOL *This, UINT8 *SetupConfig) {
  (void)This;
  if (SetupConfig == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  // The scratch record only receives the final read of "Setup". Without it the
  // operation cannot finish, so it changes nothing and says so.
  UINT8 *Scratch = (UINT8 *)AllocateZeroPool(SETUP_CONFIG_SIZE);
  if (Scratch == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }

  ApplyManufacturingFlags(SetupConfig);
  ProgramCmosOptions(SetupConfig);
  ApplyLoadFlag(SetupConfig);
  ProvisionPasswords();

  UINTN Size = SETUP_CONFIG_SIZE;
  EFI_STATUS Status = gRT->GetVariable(mSetupName, &gSetupVariableGuid, nullptr, &Size, Scratch);
  FreePool(Scratch);
  return EFI_ERROR(Status) ? Status : EFI_SUCCESS;
}
