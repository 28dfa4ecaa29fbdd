// Lookups in the system table's configuration table and in the HOB list.
#pragma once

#include "runtime/uefi/types.h"

EFI_STATUS FindConfigurationTable(const EFI_GUID *Guid, VOID **Table);
// Returns the first GUID-extension HOB with this name, or null.
VOID *FindGuidHob(const EFI_GUID *Guid);
