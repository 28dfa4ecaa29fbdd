#include "runtime/base/events.h"

#include "runtime/base/services.h"

EFI_EVENT RegisterProtocolNotification(EFI_GUID *ProtocolGuid, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY Callback,
                                       VOID *Context, VOID **Registration) {
  EFI_EVENT Event = nullptr;
  gBS->CreateEvent(EVT_NOTIFY_SIGNAL, NotifyTpl, Callback, Context, &Event);
  gBS->RegisterProtocolNotify(ProtocolGuid, Event, Registration);
  gBS->SignalEvent(Event);
  return Event;
}
