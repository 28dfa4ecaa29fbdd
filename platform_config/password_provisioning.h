// Password variables provisioned from the signed password block in flash.
#pragma once

#include "runtime/uefi/types.h"

// Reads the 64-byte block through the flash access protocol; when it carries the
// signature and its provisioning flag, writes "QzMasterPwd" and then "QzUserPwd" (16
// bytes each, the field widened). Every copy of password bytes is wiped before it is
// freed. Returns:
//   the status of LocateProtocol when there is no flash access protocol;
//   EFI_OUT_OF_RESOURCES when the block's buffer cannot be had;
//   EFI_NOT_FOUND when the flash read fails;
//   EFI_SUCCESS, writing nothing, when the block carries no passwords;
//   otherwise the status of the user password's write (a refused master write, or no
//   pool for its copy, is not reported).
// No waits beyond the flash read and two variable writes. Precondition: gBS and gRT set.
EFI_STATUS ProvisionPasswords(VOID);
