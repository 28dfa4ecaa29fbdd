#include "platform_config/password_provisioning.h"

#include "runtime/uefi/flash_access_protocol.h"
#include "platform_config/secret_wipe.h"
#include "platform_config/setup_records.h"
#include "runtime/base/memory.h"
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

// Widens a password field into a fresh zero-filled pool buffer of 16 bytes: at most 8
// units, stopping at the field's NUL or at the end of the 64-byte block, whichever comes
// first (the user field has only 15 bytes inside the block). Each byte is sign-extended.
// The copy is wiped before it goes back to the pool.
static EFI_STATUS WritePassword(CHAR16 *Name, EFI_GUID *Guid, const UINT8 *Field, UINTN FieldSize) {
  CHAR16 *Password = (CHAR16 *)AllocateZeroPool(PASSWORD_VARIABLE_SIZE);
  if (Password == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  for (UINTN Index = 0; Index < FieldSize && Index < PASSWORD_VARIABLE_SIZE / sizeof(CHAR16); Index++) {
    if (Field[Index] == 0) {
      break;
    }
    Password[Index] = WidenSignExtended(Field[Index]);
  }
  EFI_STATUS Status = gRT->SetVariable(Name, Guid, CONFIG_VARIABLE_ATTRIBUTES, PASSWORD_VARIABLE_SIZE, Password);
  FreeSecret(Password, PASSWORD_VARIABLE_SIZE);
  return Status;
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
  // Whatever the outcome, the block holds password bytes by now (or parts of them, from
  // a read that failed half-way): it is wiped before every free.
  Status = FlashAccess->ReadFlash(FlashAccess, Block, PASSWORD_BLOCK_ADDRESS, PASSWORD_BLOCK_SIZE);
  if (EFI_ERROR(Status)) {
    FreeSecret(Block, PASSWORD_BLOCK_SIZE);
    return EFI_NOT_FOUND;
  }
  if (!BlockCarriesPasswords(Block)) {
    FreeSecret(Block, PASSWORD_BLOCK_SIZE);
    return Status;
  }
  WritePassword(mMasterPasswordName, &gMasterPasswordVariableGuid, Block + PASSWORD_MASTER_OFFSET,
                PASSWORD_USER_OFFSET - PASSWORD_MASTER_OFFSET);
  Status = WritePassword(mUserPasswordName, &gUserPasswordVariableGuid, Block + PASSWORD_USER_OFFSET,
                         PASSWORD_BLOCK_SIZE - PASSWORD_USER_OFFSET);
  FreeSecret(Block, PASSWORD_BLOCK_SIZE);
  return Status;
}
