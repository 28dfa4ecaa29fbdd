#include "runtime/entry/image_entry.h"

#include "runtime/entry/exit_context.h"
#include "runtime/uefi/status.h"

#if !defined(FIRMWARE_IMAGE)
// Host images export the entry so the platform's loader can find it.
#define IMAGE_EXPORT __attribute__((visibility("default")))
#else
#define IMAGE_EXPORT
#endif

constinit const LIBRARY_LIST gNoLibrarySteps = {nullptr, 0};

VOID RunLibrarySteps(const LIBRARY_LIST *List, EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  for (UINTN Index = 0; Index < List->Count; Index++) {
    List->Steps[Index](ImageHandle, SystemTable);
  }
}

extern "C" IMAGE_EXPORT EFI_STATUS EFIAPI ImageEntryPoint(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  const IMAGE_DESCRIPTOR *Image = &gImageDescriptor;
  if (Image->MinimumRevision != 0 && SystemTable->Hdr.Revision < Image->MinimumRevision) {
    return EFI_INCOMPATIBLE_VERSION;
  }

  RunLibrarySteps(Image->Initialisers, ImageHandle, SystemTable);

  EFI_STATUS Status = Image->UseExitContext ? RunInExitContext(Image->DriverEntry, ImageHandle, SystemTable)
                                            : Image->DriverEntry(ImageHandle, SystemTable);
  if (EFI_ERROR(Status)) {
    RunLibrarySteps(Image->TearDowns, ImageHandle, SystemTable);
  }
  return Status;
}
