#include "runtime/base/config_tables.h"

#include "runtime/base/memory.h"
#include "runtime/base/services.h"
#include "runtime/uefi/hob.h"
#include "runtime/uefi/status.h"

EFI_STATUS FindConfigurationTable(const EFI_GUID *Guid, VOID **Table) {
  *Table = nullptr;
  for (UINTN Index = 0; Index < gST->NumberOfTableEntries; Index++) {
    if (CompareGuid(Guid, &gST->ConfigurationTable[Index].VendorGuid)) {
      *Table = gST->ConfigurationTable[Index].VendorTable;
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

VOID *FindGuidHob(const EFI_GUID *Guid) {
  const UINT8 *Hob = (const UINT8 *)gHobList;
  if (Hob == nullptr) {
    return nullptr;
  }
  for (;;) {
    const EFI_HOB_GENERIC_HEADER *Header = (const EFI_HOB_GENERIC_HEADER *)Hob;
    if (Header->HobType == EFI_HOB_TYPE_END_OF_HOB_LIST) {
      return nullptr;
    }
    if (Header->HobType == EFI_HOB_TYPE_GUID_EXTENSION && CompareGuid(&((const EFI_HOB_GUID_TYPE *)Hob)->Name, Guid)) {
      return (VOID *)Hob;
    }
    // A zero length would walk the same HOB for ever: treat it as the end of a
    // corrupt list.
    if (Header->HobLength == 0) {
      return nullptr;
    }
    Hob += Header->HobLength;
  }
}
