// TagStoreInit: the table is shared; the first image to start creates it from the
// template, with runtime caches, and publishes it.
#include "runtime/base/memory.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tagstore/tag_store_internal.h"

TagStoreEntry *gTagStoreTable;

TagStoreEntry *TagStoreFind(UINT32 Tag) {
  for (TagStoreEntry *Entry = gTagStoreTable; Entry->Tag != TAG_STORE_TERMINATOR; Entry++) {
    if (Entry->Tag == Tag) {
      return Entry;
    }
  }
  return nullptr;
}

static EFI_STATUS CreateTable(TagStoreEntry *Table) {
  for (UINTN Index = 0; Table[Index].Tag != TAG_STORE_TERMINATOR; Index++) {
    TagStoreEntry *Entry = &Table[Index];
    VOID *Cache = nullptr;
    for (UINTN Earlier = 0; Earlier < Index; Earlier++) {
      if (Table[Earlier].Tag == Entry->Tag) {
        Cache = Table[Earlier].Cache;
        break;
      }
    }
    if (Cache == nullptr) {
      EFI_STATUS Status = gBS->AllocatePool(EfiRuntimeServicesData, Entry->Size, &Cache);
      if (EFI_ERROR(Status)) {
        return Status;
      }
    }
    Entry->Cache = Cache;
  }
  return EFI_SUCCESS;
}

// Each cache goes back once, however many entries share it.
static VOID ReleaseTable(TagStoreEntry *Table) {
  for (UINTN Index = 0; Table[Index].Tag != TAG_STORE_TERMINATOR; Index++) {
    VOID *Cache = Table[Index].Cache;
    BOOLEAN Seen = FALSE;
    for (UINTN Earlier = 0; Earlier < Index && !Seen; Earlier++) {
      Seen = Table[Earlier].Cache == Cache;
    }
    if (Cache != nullptr && !Seen) {
      gBS->FreePool(Cache);
    }
  }
  gBS->FreePool(Table);
}

EFI_STATUS EFIAPI TagStoreInit(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  if (!EFI_ERROR(gBS->LocateProtocol(&gTagStoreTableProtocolGuid, nullptr, (VOID **)&gTagStoreTable))) {
    return EFI_SUCCESS;
  }
  TagStoreEntry *Table = nullptr;
  EFI_STATUS Status = gBS->AllocatePool(EfiRuntimeServicesData, sizeof(gTagStoreTemplate), (VOID **)&Table);
  if (EFI_ERROR(Status)) {
    gTagStoreTable = nullptr;
    return Status;
  }
  CopyMem(Table, gTagStoreTemplate, sizeof(gTagStoreTemplate));
  Status = CreateTable(Table);
  if (EFI_ERROR(Status)) {
    ReleaseTable(Table);
    gTagStoreTable = nullptr;
    return Status;
  }
  gTagStoreTable = Table;
  EFI_HANDLE Handle = nullptr;
  return gBS->InstallProtocolInterface(&Handle, &gTagStoreTableProtocolGuid, EFI_NATIVE_INTERFACE, Table);
}
