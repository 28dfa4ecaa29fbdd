// Password variables provisioned from the signed password block in flash.
#pragma once

#include "runtime/uefi/types.h"

VOID ApplyManufacturingFlags(UINT8 *SetupConfig);
EFI_STATUS ProvisionPasswords(VOID);
