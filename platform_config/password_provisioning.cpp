#include "platform_config/password_provisioning.h"

#include "platform_config/flash_access_protocol.h"
#include "platform_config/setup_records.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

static CHAR16 mMasterPasswordName[] = u"QzMasterPwd";
static CHAR16 mUserPasswordName[] = u"QzUserPwd";
static const CHAR8 mSignature[PASSWORD_SIGNATURE_SIZE] = {'_', 'Q', 'Z', 'N', 'V', '_'};

static BOOLEAN BlockCarriesPasswords(const UINT8 *Block) {
  for (UINTN Index = 0; Index < PASSWORD_SIGNATURE_SIZE; Index++) {
    if (Block[Index] != (UINT8)mSignature[Index]) {
      return FALSE;
    }
  }
  return Block[PASSWORD_PROVISION_FLAG_OFFSET] != 0 ? TRUE : FALSE;
}

// Widens a password field into a fresh zero-filled variable buffer: at most 8 units,
// stopping at the field's NUL or at the end of the 64-byte block, whichever comes first
// (the user field has only 15 bytes inside the block). Each byte is sign-extended.
static EFI_STATUS WritePassword(CHAR16 *Name, EFI_GUID *Guid, const UINT8 *Field, UINTN FieldSize) {
  CHAR16 Password[PASSWORD_VARIABLE_SIZE / sizeof(CHAR16)];
  for (UINTN Index = 0; Index < PASSWORD_VARIABLE_SIZE / sizeof(CHAR16); Index++) {
    Password[Index] = 0;
  }
  for (UINTN Index = 0; Index < FieldSize && Index < PASSWORD_VARIABLE_SIZE / sizeof(CHAR16); Index++) {
    if (Field[Index] == 0) {
      break;
    }
    Password[Index] = (CHAR16)(INT16)(INT8)Field[Index];
  }
  return gRT->SetVariable(Name, Guid, CONFIG_VARIABLE_ATTRIBUTES, PASSWORD_VARIABLE_SIZE, Password);
}

EFI_STATUS ProvisionPasswords(VOID) {
  FLASH_ACCESS_PROTOCOL *FlashAccess = nullptr;
  EFI_STATUS Status = gBS->LocateProtocol(&gFlashAccessProtocolGuid, nullptr, (VOID **)&FlashAccess);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  UINT8 *Block = (UINT8 *)AllocateZeroPool(PASSWORD_BLOCK_SIZE);
  if (Block == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  Status = FlashAccess->ReadFlash(FlashAccess, Block, PASSWORD_BLOCK_ADDRESS, PASSWORD_BLOCK_SIZE);
  if (EFI_ERROR(Status)) {
    FreePool(Block);
    return EFI_NOT_FOUND;
  }
  if (!BlockCarriesPasswords(Block)) {
    FreePool(Block);
    return Status;
  }
  WritePassword(mMasterPasswordName, &gMasterPasswordVariableGuid, Block + PASSWORD_MASTER_OFFSET,
                PASSWORD_USER_OFFSET - PASSWORD_MASTER_OFFSET);
  Status = WritePassword(mUserPasswordName, &gUserPasswordVariableGuid, Block + PASSWORD_USER_OFFSET,
                         PASSWORD_BLOCK_SIZE - PASSWORD_USER_OFFSET);
  FreePool(Block);
  return Status;
}
