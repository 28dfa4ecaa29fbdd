// Protocol-notification events.
#pragma once

#include "runtime/uefi/types.h"

// Creates a signal event, registers it for the protocol and signals it once, so that
// the callback also sees an instance installed before the registration. Statuses of
// the three calls are not checked; the event (possibly null) is returned.
EFI_EVENT RegisterProtocolNotification(EFI_GUID *ProtocolGuid, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY Callback,
                                       VOID *Context, VOID **Registration);
