#include "runtime/base/image_kind.h"

#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/loaded_image.h"
#include "runtime/uefi/status.h"

BOOLEAN InsideSmm(EFI_SMM_SYSTEM_TABLE2 **Smst) {
  EFI_SMM_BASE2_PROTOCOL *SmmBase = nullptr;
  if (gBS == nullptr || EFI_ERROR(gBS->LocateProtocol(&gEfiSmmBase2ProtocolGuid, nullptr, (VOID **)&SmmBase)) ||
      SmmBase == nullptr) {
    return FALSE;
  }
  BOOLEAN InSmram = FALSE;
  if (EFI_ERROR(SmmBase->InSmm(SmmBase, &InSmram)) || !InSmram) {
    return FALSE;
  }
  if (Smst != nullptr) {
    *Smst = nullptr;
    SmmBase->GetSmstLocation(SmmBase, Smst);
  }
  return TRUE;
}

BOOLEAN IsRuntimeImage(EFI_HANDLE ImageHandle) {
  EFI_LOADED_IMAGE_PROTOCOL *LoadedImage = nullptr;
  if (gBS == nullptr ||
      EFI_ERROR(gBS->HandleProtocol(ImageHandle, &gEfiLoadedImageProtocolGuid, (VOID **)&LoadedImage)) ||
      LoadedImage == nullptr) {
    return FALSE;
  }
  return LoadedImage->ImageCodeType == EfiRuntimeServicesCode ? TRUE : FALSE;
}
