// The empty doubly linked list head that images share through a protocol: the first
// image to need it publishes it, the others find it.
#include "runtime/base/image_kind.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/shared_state/shared_state.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

LIST_ENTRY *gSharedListHead;

EFI_STATUS EFIAPI InitSharedListHead(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  if (InsideSmm(nullptr)) {
    return EFI_SUCCESS;
  }
  VOID *Found = nullptr;
  if (!EFI_ERROR(gBS->LocateProtocol(&gSharedListHeadProtocolGuid, nullptr, &Found))) {
    gSharedListHead = (LIST_ENTRY *)Found;
    return EFI_SUCCESS;
  }
  LIST_ENTRY *Head = (LIST_ENTRY *)AllocatePool(sizeof(LIST_ENTRY));
  if (Head == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  Head->ForwardLink = Head;
  Head->BackLink = Head;
  EFI_HANDLE Handle = nullptr;
  EFI_STATUS Status = gBS->InstallProtocolInterface(&Handle, &gSharedListHeadProtocolGuid, EFI_NATIVE_INTERFACE, Head);
  if (EFI_ERROR(Status)) {
    // Nobody can reach an unpublished head.
    FreePool(Head);
    return Status;
  }
  gSharedListHead = Head;
  return EFI_SUCCESS;
}
