// The address fix-up registration of a DXE image: finds the platform's protocol (now
// or when it arrives), registers its own interface pointer with it, and forwards the
// registrations of the image's other pointer variables.
#include "runtime/shared_state/address_fixup.h"

#include "runtime/base/events.h"
#include "runtime/base/image_kind.h"
#include "runtime/base/services.h"
#include "runtime/shared_state/shared_state.h"
#include "runtime/uefi/address_fixup_protocol.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

// The interface pointer is a pointer variable of this image like any other, so it is
// registered for conversion too.
ADDRESS_FIXUP_PROTOCOL *gAddressFixup;
BOOLEAN gAddressFixupRuntimeImage;
// Open only while the protocol is awaited.
EFI_EVENT gAddressFixupEvent;
VOID *gAddressFixupRegistration;

EFI_STATUS AddressFixupRegister(VOID *PointerVariable) {
  if (gAddressFixup == nullptr || !gAddressFixupRuntimeImage) {
    return EFI_ABORTED;
  }
  return gAddressFixup->Register((VOID **)PointerVariable);
}

EFI_STATUS AddressFixupRemove(VOID *PointerVariable) {
  if (gAddressFixup == nullptr || !gAddressFixupRuntimeImage) {
    return EFI_ABORTED;
  }
  return gAddressFixup->Remove((VOID **)PointerVariable);
}

static VOID EFIAPI AddressFixupNotify(EFI_EVENT Event, VOID *Context) {
  (void)Context;
  ADDRESS_FIXUP_PROTOCOL *Protocol = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gAddressFixupProtocolGuid, nullptr, (VOID **)&Protocol)) || Protocol == nullptr) {
    return;
  }
  gAddressFixup = Protocol;
  if (gAddressFixupRuntimeImage) {
    Protocol->Register((VOID **)&gAddressFixup);
  }
  gBS->CloseEvent(Event);
  // Closed: the tear-down now removes the registration instead.
  gAddressFixupEvent = nullptr;
}

EFI_STATUS EFIAPI InitAddressFixup(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)SystemTable;
  if (InsideSmm(nullptr)) {
    return EFI_SUCCESS;
  }
  gAddressFixupRuntimeImage = IsRuntimeImage(ImageHandle);
  ADDRESS_FIXUP_PROTOCOL *Protocol = nullptr;
  if (!EFI_ERROR(gBS->LocateProtocol(&gAddressFixupProtocolGuid, nullptr, (VOID **)&Protocol)) && Protocol != nullptr) {
    gAddressFixup = Protocol;
    if (gAddressFixupRuntimeImage) {
      Protocol->Register((VOID **)&gAddressFixup);
    }
    return EFI_SUCCESS;
  }
  gAddressFixupEvent = RegisterProtocolNotification(&gAddressFixupProtocolGuid, TPL_CALLBACK, AddressFixupNotify,
                                                    nullptr, &gAddressFixupRegistration);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI TearDownAddressFixup(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  if (gAddressFixupEvent != nullptr) {
    gBS->CloseEvent(gAddressFixupEvent);
    gAddressFixupEvent = nullptr;
    return EFI_SUCCESS;
  }
  if (gAddressFixup != nullptr && gAddressFixupRuntimeImage) {
    return gAddressFixup->Remove((VOID **)&gAddressFixup);
  }
  return EFI_SUCCESS;
}
