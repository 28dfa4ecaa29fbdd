// The SMM driver's PCD initialiser: keeps the four PCD protocol pointers up front and,
// in a runtime image outside SMM, converts them when the firmware goes virtual.
#include "runtime/base/image_kind.h"
#include "runtime/base/pcd_protocols.h"
#include "runtime/base/services.h"
#include "runtime/shared_state/shared_state.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

VOID *gPcdInfo;
VOID *gPiPcdInfo;
EFI_EVENT gPcdVirtualAddressEvent;

static VOID *LocateOrNull(EFI_GUID *Guid) {
  VOID *Interface = nullptr;
  return EFI_ERROR(gBS->LocateProtocol(Guid, nullptr, &Interface)) ? nullptr : Interface;
}

static VOID EFIAPI PcdVirtualAddressChange(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  (void)Context;
  gRT->ConvertPointer(0, (VOID **)&gPcd);
  gRT->ConvertPointer(0, (VOID **)&gPiPcd);
  gRT->ConvertPointer(0, &gPcdInfo);
  gRT->ConvertPointer(0, &gPiPcdInfo);
}

EFI_STATUS EFIAPI InitPcdProtocols(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)SystemTable;
  gPcd = (PCD_PROTOCOL *)LocateOrNull(&gPcdProtocolGuid);
  gPiPcd = (EFI_PCD_PROTOCOL *)LocateOrNull(&gEfiPcdProtocolGuid);
  gPcdInfo = LocateOrNull(&gPcdInfoProtocolGuid);
  gPiPcdInfo = LocateOrNull(&gEfiGetPcdInfoProtocolGuid);

  // Inside SMM the SMM system table serves the lazy lookups of the PCD access.
  EFI_SMM_SYSTEM_TABLE2 *Smst = nullptr;
  if (InsideSmm(&Smst)) {
    gSmst = Smst;
    return EFI_SUCCESS;
  }
  if (!IsRuntimeImage(ImageHandle)) {
    return EFI_SUCCESS;
  }
  return gBS->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, PcdVirtualAddressChange, nullptr,
                            &gEfiEventVirtualAddressChangeGuid, &gPcdVirtualAddressEvent);
}

// The event exists only when it was created outside SMM for a runtime image.
EFI_STATUS EFIAPI TearDownPcdProtocols(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  if (gPcdVirtualAddressEvent == nullptr) {
    return EFI_SUCCESS;
  }
  EFI_STATUS Status = gBS->CloseEvent(gPcdVirtualAddressEvent);
  gPcdVirtualAddressEvent = nullptr;
  return Status;
}
