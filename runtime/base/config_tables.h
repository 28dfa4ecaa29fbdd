// Lookups in the system table's configuration table and in the HOB list. Both are
// reads of memory the firmware handed over; neither blocks or allocates.
#pragma once

#include "runtime/uefi/types.h"

// EFI_SUCCESS with *Table set to the first entry whose vendor GUID is Guid;
// EFI_NOT_FOUND with *Table null otherwise. Precondition: gST is set (the image's entry
// has run its library steps); Guid and Table are valid.
EFI_STATUS FindConfigurationTable(const EFI_GUID *Guid, VOID **Table);
// Returns the first GUID-extension HOB with this name, or null: when gHobList is null,
// when the list ends, and when a HOB of length 0 is met (a corrupt list is treated as
// ended rather than walked for ever). The walk trusts each HOB length otherwise.
VOID *FindGuidHob(const EFI_GUID *Guid);
