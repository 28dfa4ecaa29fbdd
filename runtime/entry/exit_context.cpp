#include "runtime/entry/exit_context.h"

#include "runtime/uefi/status.h"

static EXECUTION_CONTEXT mExitContext;
static EFI_STATUS mExitStatus;

VOID ExitDriver(EFI_STATUS Status) {
  if (!EFI_ERROR(Status) || EFI_ERROR(mExitStatus)) {
    mExitStatus = Status;
  }
  ResumeExecutionContext(&mExitContext, ~(UINTN)0);
}

EFI_STATUS RunInExitContext(EFI_IMAGE_ENTRY_POINT DriverEntry, EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  mExitStatus = EFI_LOAD_ERROR;
  if (SaveExecutionContext(&mExitContext) == 0) {
    ExitDriver(DriverEntry(ImageHandle, SystemTable));
  }
  return mExitStatus;
}
