// Password variables provisioned from the signed password block in flash.
#pragma once

#include "runtime/uefi/types.h"

EFI_STATUS ProvisionPasswords(VOID);
