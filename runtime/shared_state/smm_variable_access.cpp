// Variable access for code that may run on either side of SMM: outside SMM a second
// copy of the runtime services pointer, registered for conversion at the change to
// virtual addressing; inside SMM the SMM variable protocol.
#include "runtime/shared_state/address_fixup.h"
#include "runtime/base/image_kind.h"
#include "runtime/base/services.h"
#include "runtime/shared_state/shared_state.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

EFI_RUNTIME_SERVICES *gVariableRuntimeServices;
VOID *gSmmVariable;

EFI_STATUS EFIAPI InitSmmVariableAccess(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  EFI_SMM_SYSTEM_TABLE2 *Smst = nullptr;
  if (InsideSmm(&Smst)) {
    if (Smst == nullptr) {
      return EFI_NOT_FOUND;
    }
    return Smst->SmmLocateProtocol(&gEfiSmmVariableProtocolGuid, nullptr, &gSmmVariable);
  }
  gVariableRuntimeServices = gRT;
  return AddressFixupRegister(&gVariableRuntimeServices);
}

EFI_STATUS EFIAPI TearDownSmmVariableAccess(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  if (gVariableRuntimeServices == nullptr) {
    return EFI_SUCCESS;
  }
  return AddressFixupRemove(&gVariableRuntimeServices);
}
