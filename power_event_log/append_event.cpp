// AppendEvent: one time-stamped slot more in the "PLOG" record, then a flush to flash.
// The log is never created or cleared here; slots are taken in ascending order.
#include "power_event_log/power_event_log.h"
#include "runtime/uefi/status.h"

EFI_STATUS EFIAPI AppendEvent(POWER_EVENT_LOG_PROTOCOL *This, UINT8 Event) {
  (void)This;
  // Only the store's own copy in SMRAM is used: the shared table lies in memory the
  // operating system can write. Without SMRAM ranges to check that copy against, refuse.
  if (!TagStoreIsPrivate()) {
    return EFI_ACCESS_DENIED;
  }
  UINT64 Size = sizeof(PowerEventLogRecord);
  PowerEventLogRecord Log;
  if (!TagStoreReadBounded(POWER_EVENT_LOG_TAG, &Size, &Log, sizeof(Log)) ||
      Log.Signature != POWER_EVENT_LOG_SIGNATURE) {
    return EFI_NOT_READY;
  }
  UINT32 Index = PowerEventLogNextSlot(Log.FreeMap);
  if (Index >= POWER_EVENT_LOG_SLOTS) {
    return EFI_UNSUPPORTED;
  }
  PowerEventSlot *Slot = &Log.Slot[Index];
  Slot->Event = Event;
  EFI_TIME Time;
  EFI_STATUS Status = ReadRtcTime(&Time, nullptr);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Slot->Year = (UINT8)Time.Year;
  Slot->Month = Time.Month;
  Slot->Day = Time.Day;
  Slot->Hour = Time.Hour;
  Slot->Minute = Time.Minute;
  Slot->Second = Time.Second;
  Log.FreeMap &= ~(1ull << Index);
  // A failed write or flush leaves the slot in the cache; the next flush takes it along.
  TagStoreWrite(POWER_EVENT_LOG_TAG, &Size, &Log);
  TagStoreFlush();
  return EFI_SUCCESS;
}
