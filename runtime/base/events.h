// Protocol-notification events.
#pragma once

#include "runtime/uefi/types.h"

// Creates a signal event, registers it for the protocol and signals it once, so that
// the callback also sees an instance installed before the registration: Callback runs
// (with Context) once the TPL drops below NotifyTpl, and again for every later
// installation. Statuses of the three calls are not checked; the event (possibly null)
// is returned and belongs to the caller, who closes it when the image goes away.
// Precondition: gBS is set.
EFI_EVENT RegisterProtocolNotification(EFI_GUID *ProtocolGuid, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY Callback,
                                       VOID *Context, VOID **Registration);
