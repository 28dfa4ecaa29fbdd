// PlatformConfigDxe's own entry and its two protocol notifications.
#include "platform_config/operations.h"
#include "platform_config/setup_records.h"
#include "runtime/base/events.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

static CHAR16 mAdministerSecureBootName[] = u"AdministerSecureBoot";

// The entry's two notification events, and whether their callbacks closed them. A
// callback may run (and close its event) inside the registration, before the entry has
// the event in hand, so closing is remembered as a flag rather than by clearing the
// event.
static EFI_EVENT mSetupDataEvent;
static EFI_EVENT mVariableWriteEvent;
static BOOLEAN mSetupDataEventClosed;
static BOOLEAN mVariableWriteEventClosed;

// A failed entry gets the image unloaded: no notification may call into it afterwards.
static EFI_STATUS FailEntry(EFI_STATUS Status) {
  if (mSetupDataEvent != nullptr && !mSetupDataEventClosed) {
    gBS->CloseEvent(mSetupDataEvent);
    mSetupDataEventClosed = TRUE;
  }
  if (mVariableWriteEvent != nullptr && !mVariableWriteEventClosed) {
    gBS->CloseEvent(mVariableWriteEvent);
    mVariableWriteEventClosed = TRUE;
  }
  return Status;
}

EFI_STATUS EFIAPI PlatformConfigDxeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)SystemTable;
  VOID *Registration = nullptr;
  // Both registrations come first: the immediate run of SetupDataNotify therefore
  // cannot find our own protocol yet and leaves its event open.
  mSetupDataEvent =
      RegisterProtocolNotification(&gSetupDataProtocolGuid, TPL_CALLBACK, SetupDataNotify, nullptr, &Registration);
  mVariableWriteEvent = RegisterProtocolNotification(&gEfiVariableWriteArchProtocolGuid, TPL_CALLBACK,
                                                     VariableWriteNotify, nullptr, &Registration);

  PLATFORM_CONFIG_PROTOCOL *Interface = (PLATFORM_CONFIG_PROTOCOL *)AllocateZeroPool(sizeof(PLATFORM_CONFIG_PROTOCOL));
  if (Interface == nullptr) {
    return FailEntry(EFI_OUT_OF_RESOURCES);
  }
  Interface->UpdateSetupPolicy = UpdateSetupPolicy;
  Interface->LoadPlatformConfig = LoadPlatformConfig;
  Interface->GetCmosOverride = GetCmosOverride;
  Interface->SignalEmbeddedController = SignalEmbeddedController;
  Interface->ReservedOperation = ReservedOperation;
  Interface->Reserved = 0;

  EFI_HANDLE Handle = ImageHandle;
  EFI_STATUS Status =
      gBS->InstallProtocolInterface(&Handle, &gPlatformConfigProtocolGuid, EFI_NATIVE_INTERFACE, Interface);
  if (EFI_ERROR(Status)) {
    FreePool(Interface);
    return FailEntry(Status);
  }
  return EFI_SUCCESS;
}

VOID EFIAPI VariableWriteNotify(EFI_EVENT Event, VOID *Context) {
  (void)Context;
  VOID *Protocol = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiVariableWriteArchProtocolGuid, nullptr, &Protocol))) {
    return;
  }
  UINT8 Value = 1;
  // A failed write is not retried in this boot.
  gRT->SetVariable(mAdministerSecureBootName, &gAdministerSecureBootVariableGuid, CONFIG_VARIABLE_ATTRIBUTES,
                   sizeof(Value), &Value);
  gBS->CloseEvent(Event);
  mVariableWriteEventClosed = TRUE;
}

VOID EFIAPI SetupDataNotify(EFI_EVENT Event, VOID *Context) {
  (void)Context;
  SETUP_DATA_PROTOCOL *SetupData = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gSetupDataProtocolGuid, nullptr, (VOID **)&SetupData))) {
    return;
  }
  PLATFORM_CONFIG_PROTOCOL *PlatformConfig = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gPlatformConfigProtocolGuid, nullptr, (VOID **)&PlatformConfig))) {
    return;
  }
  // A failing update keeps the event open, so the next installation retries it.
  if (EFI_ERROR(PlatformConfig->UpdateSetupPolicy(PlatformConfig, SetupData->SetupData))) {
    return;
  }
  gBS->CloseEvent(Event);
  mSetupDataEventClosed = TRUE;
}
