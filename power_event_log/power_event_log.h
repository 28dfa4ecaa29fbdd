// PowerEventLogSmm: the "PLOG" power-event log record, the protocol that appends to it,
// the RTC reader that stamps each record, and the driver's SMM entry and Sx handler.
#pragma once

#include "runtime/uefi/smm_sx_dispatch.h"
#include "runtime/uefi/system_table.h"
#include "tagstore/tag_store.h"

#define POWER_EVENT_LOG_TAG TAG_STORE_TAG('P', 'L', 'O', 'G')
// "KOVAPLOG", compared as one little-endian 64-bit value.
#define POWER_EVENT_LOG_SIGNATURE 0x474F4C5041564F4Bull
#define POWER_EVENT_LOG_SLOTS 62u

// Event values this driver writes; other SMM code may pass any 8-bit value.
#define POWER_EVENT_DRIVER_START 0
#define POWER_EVENT_S3_ENTRY 3
#define POWER_EVENT_S4_ENTRY 4
#define POWER_EVENT_S5_ENTRY 5

// The record reaches the flash as it is: its layout is binding.
#pragma pack(push, 1)
typedef struct {
  UINT8 Year;  // within the century
  UINT8 Month;
  UINT8 Day;
  UINT8 Hour;
  UINT8 Minute;
  UINT8 Second;
  UINT8 Event;
  UINT8 Reserved;  // never written: keeps what the record held
} PowerEventSlot;

typedef struct {
  UINT64 Signature;
  UINT64 FreeMap;  // bit i set: slot i free
  PowerEventSlot Slot[POWER_EVENT_LOG_SLOTS];
} PowerEventLogRecord;
#pragma pack(pop)
EFI_LAYOUT_SIZE(PowerEventSlot, 8);
EFI_LAYOUT_OFFSET(PowerEventSlot, Event, 6);
EFI_LAYOUT_SIZE(PowerEventLogRecord, 512);
EFI_LAYOUT_OFFSET(PowerEventLogRecord, FreeMap, 8);
EFI_LAYOUT_OFFSET(PowerEventLogRecord, Slot, 16);

// The slot the next event takes: one past the highest used slot, so used slots below a
// free one are never reused. POWER_EVENT_LOG_SLOTS or more: the log is full.
static inline UINT32 PowerEventLogNextSlot(UINT64 FreeMap) {
  UINT64 Used = ~FreeMap;
  if (Used == 0) {
    return 0;
  }
  UINT32 Highest = 63;
  while ((Used >> Highest) == 0) {
    Highest--;
  }
  return Highest + 1;
}

struct POWER_EVENT_LOG_PROTOCOL;
typedef EFI_STATUS(EFIAPI *POWER_EVENT_LOG_APPEND)(struct POWER_EVENT_LOG_PROTOCOL *This, UINT8 Event);
struct POWER_EVENT_LOG_PROTOCOL {
  POWER_EVENT_LOG_APPEND AppendEvent;
};
typedef struct POWER_EVENT_LOG_PROTOCOL POWER_EVENT_LOG_PROTOCOL;
EFI_LAYOUT_SIZE(POWER_EVENT_LOG_PROTOCOL, 8);

typedef struct {
  UINT32 Resolution;
  UINT32 Accuracy;
  BOOLEAN SetsToZero;
} EFI_TIME_CAPABILITIES;
EFI_LAYOUT_OFFSET(EFI_TIME_CAPABILITIES, SetsToZero, 8);

// RTC registers of CMOS bank 0, read with NMI masked during the access.
UINT8 ReadRtcRegister(UINT8 Register);
// The calendar time from the RTC, converted from BCD, with interrupts held off while it
// is read (the caller's interrupt state is restored). Always EFI_SUCCESS; Capabilities
// may be null. Blocking bound: waits for an update in progress to end for at most
// 1,048,575 further reads of status register A (four port accesses each, a few seconds
// on real hardware), then reads the clock anyway.
EFI_STATUS ReadRtcTime(EFI_TIME *Time, EFI_TIME_CAPABILITIES *Capabilities);

// Appends Event, stamped with the RTC time, in the slot one past the highest used slot
// of the "PLOG" record, then flushes the tag store. Works only on the store's SMRAM copy
// (tagstore/tag_store.h), never on the shared table. Returns:
//   EFI_ACCESS_DENIED  the store is not on its SMRAM copy, or that copy is not inside the
//                      SMRAM ranges this image learned (none learned included): nothing
//                      is read or written;
//   EFI_NOT_READY      no "PLOG" record, or it lacks the signature (the log is never
//                      created here);
//   EFI_UNSUPPORTED    the log is full;
//   EFI_SUCCESS        the slot is in the cache; a failed write or flush is not reported
//                      and the next flush takes the slot along.
// Blocking bound: ReadRtcTime's wait, then TagStoreFlush's (tagstore/tag_store.h).
// Called inside SMM, one processor at a time.
EFI_STATUS EFIAPI AppendEvent(POWER_EVENT_LOG_PROTOCOL *This, UINT8 Event);

// Once the entry has done its work in SMM: the pointers into boot-time memory (the
// system, boot and runtime services tables, the DXE services, the HOB list, the PCD
// protocols) are cleared, so that no later SMI can call or read through memory the
// operating system will own. A service looked up through one of them then finds none.
VOID ForgetBootTimePointers(VOID);

EFI_STATUS EFIAPI PowerEventLogSmmEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI SxHandler(EFI_HANDLE DispatchHandle, CONST VOID *Context, VOID *CommBuffer, UINTN *CommBufferSize);
