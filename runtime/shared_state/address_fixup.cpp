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

// Where the registration stands. Only ADDRESS_FIXUP_REGISTERED forwards the image's
// registrations: the protocol is there and this is a runtime image, whose own interface
// pointer was handed to it first.
typedef enum {
  ADDRESS_FIXUP_NONE = 0,     // not set up: before the initialiser, or inside SMM
  ADDRESS_FIXUP_AWAITED,      // the protocol is not there yet; the notification is open
  ADDRESS_FIXUP_NOT_RUNTIME,  // the protocol is there, but a boot-time image registers nothing
  ADDRESS_FIXUP_REGISTERED,
} ADDRESS_FIXUP_STATE;

ADDRESS_FIXUP_STATE gAddressFixupState;
// The interface pointer is a pointer variable of this image like any other, so it is
// registered for conversion too.
ADDRESS_FIXUP_PROTOCOL *gAddressFixup;
BOOLEAN gAddressFixupRuntimeImage;
// Meaningful only in ADDRESS_FIXUP_AWAITED, while it is open.
EFI_EVENT gAddressFixupEvent;
VOID *gAddressFixupRegistration;

EFI_STATUS AddressFixupRegister(VOID *PointerVariable) {
  if (gAddressFixupState != ADDRESS_FIXUP_REGISTERED) {
    return EFI_ABORTED;
  }
  return gAddressFixup->Register((VOID **)PointerVariable);
}

EFI_STATUS AddressFixupRemove(VOID *PointerVariable) {
  if (gAddressFixupState != ADDRESS_FIXUP_REGISTERED) {
    return EFI_ABORTED;
  }
  return gAddressFixup->Remove((VOID **)PointerVariable);
}

// The protocol is there: a runtime image registers its interface pointer (the result is
// not checked) and from then on forwards its registrations.
static VOID UseProtocol(ADDRESS_FIXUP_PROTOCOL *Protocol) {
  gAddressFixup = Protocol;
  if (!gAddressFixupRuntimeImage) {
    gAddressFixupState = ADDRESS_FIXUP_NOT_RUNTIME;
    return;
  }
  Protocol->Register((VOID **)&gAddressFixup);
  gAddressFixupState = ADDRESS_FIXUP_REGISTERED;
}

static VOID EFIAPI AddressFixupNotify(EFI_EVENT Event, VOID *Context) {
  (void)Context;
  ADDRESS_FIXUP_PROTOCOL *Protocol = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gAddressFixupProtocolGuid, nullptr, (VOID **)&Protocol)) || Protocol == nullptr) {
    return;
  }
  UseProtocol(Protocol);
  gBS->CloseEvent(Event);
}

EFI_STATUS EFIAPI InitAddressFixup(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)SystemTable;
  if (InsideSmm(nullptr)) {
    return EFI_SUCCESS;
  }
  gAddressFixupRuntimeImage = IsRuntimeImage(ImageHandle);
  ADDRESS_FIXUP_PROTOCOL *Protocol = nullptr;
  if (!EFI_ERROR(gBS->LocateProtocol(&gAddressFixupProtocolGuid, nullptr, (VOID **)&Protocol)) && Protocol != nullptr) {
    UseProtocol(Protocol);
    return EFI_SUCCESS;
  }
  gAddressFixupEvent = RegisterProtocolNotification(&gAddressFixupProtocolGuid, TPL_CALLBACK, AddressFixupNotify,
                                                    nullptr, &gAddressFixupRegistration);
  if (gAddressFixupEvent != nullptr) {
    gAddressFixupState = ADDRESS_FIXUP_AWAITED;
  }
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI TearDownAddressFixup(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  if (gAddressFixupState == ADDRESS_FIXUP_AWAITED) {
    gBS->CloseEvent(gAddressFixupEvent);
    gAddressFixupState = ADDRESS_FIXUP_NONE;
    return EFI_SUCCESS;
  }
  if (gAddressFixupState == ADDRESS_FIXUP_REGISTERED) {
    return gAddressFixup->Remove((VOID **)&gAddressFixup);
  }
  return EFI_SUCCESS;
}
