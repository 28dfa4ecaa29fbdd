// PowerEventLogSmm's own entry, inside SMRAM: publish the log writer, register for the
// entry into every sleep state, then log the start. SxHandler logs S3, S4 and S5.
#include "power_event_log/power_event_log.h"
#include "runtime/base/services.h"
#include "runtime/entry/image_entry.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

// Kept for the life of the driver (the SMM system table is the runtime's gSmst); the SMM
// base protocol only for the entry.
static EFI_SMM_BASE2_PROTOCOL *mSmmBase;
static EFI_SMM_SX_DISPATCH2_PROTOCOL *mSxDispatch;
static POWER_EVENT_LOG_PROTOCOL *mPowerEventLog;

// Registered in this order; the dispatcher hands each back to SxHandler.
static constexpr EFI_SMM_SX_REGISTER_CONTEXT mSxContexts[] = {
    {SxS0, SxEntry}, {SxS1, SxEntry}, {SxS2, SxEntry}, {SxS3, SxEntry}, {SxS4, SxEntry}, {SxS5, SxEntry},
};

EFI_STATUS EFIAPI PowerEventLogSmmEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  EFI_STATUS Status = gBS->LocateProtocol(&gEfiSmmBase2ProtocolGuid, nullptr, (VOID **)&mSmmBase);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  BOOLEAN InSmram = FALSE;
  Status = mSmmBase->InSmm(mSmmBase, &InSmram);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  // Loaded outside SMRAM the driver has nothing to do.
  if (!InSmram) {
    return EFI_SUCCESS;
  }
  Status = mSmmBase->GetSmstLocation(mSmmBase, &gSmst);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  // Normally only finds the table that the library initialisation already published for
  // the boot-time images; from here on this image uses its own copy in SMRAM.
  Status = TagStoreInit(ImageHandle, SystemTable);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Status = TagStoreInitSmram();
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Status = gSmst->SmmAllocatePool(EfiRuntimeServicesData, sizeof(POWER_EVENT_LOG_PROTOCOL), (VOID **)&mPowerEventLog);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  mPowerEventLog->AppendEvent = AppendEvent;
  EFI_HANDLE Handle = nullptr;
  Status =
      gSmst->SmmInstallProtocolInterface(&Handle, &gPowerEventLogProtocolGuid, EFI_NATIVE_INTERFACE, mPowerEventLog);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Status = gSmst->SmmLocateProtocol(&gEfiSmmSxDispatch2ProtocolGuid, nullptr, (VOID **)&mSxDispatch);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  // The handlers are never unregistered, so their dispatch handles are not kept.
  EFI_HANDLE DispatchHandle = nullptr;
  for (UINTN Index = 0; Index < ARRAY_COUNT(mSxContexts); Index++) {
    Status = mSxDispatch->Register(mSxDispatch, SxHandler, &mSxContexts[Index], &DispatchHandle);
    if (EFI_ERROR(Status)) {
      return Status;
    }
  }
  // A log that is not provisioned does not stop the driver.
  AppendEvent(mPowerEventLog, POWER_EVENT_DRIVER_START);
  // The SMM base protocol is boot-time memory too, and needed no more.
  mSmmBase = nullptr;
  ForgetBootTimePointers();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SxHandler(EFI_HANDLE DispatchHandle, CONST VOID *Context, VOID *CommBuffer, UINTN *CommBufferSize) {
  (void)DispatchHandle;
  (void)CommBuffer;
  (void)CommBufferSize;
  switch (((const EFI_SMM_SX_REGISTER_CONTEXT *)Context)->Type) {
    case SxS3: return AppendEvent(mPowerEventLog, POWER_EVENT_S3_ENTRY);
    case SxS4: return AppendEvent(mPowerEventLog, POWER_EVENT_S4_ENTRY);
    case SxS5: return AppendEvent(mPowerEventLog, POWER_EVENT_S5_ENTRY);
    default: return EFI_SUCCESS;
  }
}
