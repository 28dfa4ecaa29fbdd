// The wall-clock time straight from the CMOS real-time clock: inside SMM no time
// service may be called, so the registers are read through the index and data ports.
#include "power_event_log/power_event_log.h"
#include "runtime/base/cpu.h"
#include "runtime/uefi/status.h"

#define CMOS_INDEX_PORT 0x70
#define CMOS_DATA_PORT 0x71
#define IO_DELAY_PORT 0xED
#define CMOS_NMI_MASK 0x80

#define RTC_SECONDS 0x00
#define RTC_MINUTES 0x02
#define RTC_HOURS 0x04
#define RTC_DAY 0x07
#define RTC_MONTH 0x08
#define RTC_YEAR 0x09
#define RTC_STATUS_A 0x0A
#define RTC_UPDATE_IN_PROGRESS 0x80
// Further reads of status register A after the first while an update is in progress.
#define RTC_UPDATE_WAIT_LIMIT 0xFFFFFu

#define RTC_RESOLUTION 1
#define RTC_ACCURACY 50000000  // 50 ppm, in units of 1E-6 ppm

UINT8 ReadRtcRegister(UINT8 Register) {
  IoWrite8(CMOS_INDEX_PORT, (UINT8)(Register | CMOS_NMI_MASK));
  IoWrite8(IO_DELAY_PORT, 0);
  UINT8 Value = IoRead8(CMOS_DATA_PORT);
  IoWrite8(IO_DELAY_PORT, 0);
  IoWrite8(CMOS_INDEX_PORT, 0x00);
  return Value;
}

// The clock runs in BCD. A byte that is not BCD converts by the same arithmetic.
static UINT8 FromBcd(UINT8 Value) { return (UINT8)(Value - 6 * (Value >> 4)); }

// Bounded: a clock whose update flag never clears costs the wait, then is read anyway.
static VOID WaitForUpdateToEnd(VOID) {
  UINT8 Status = ReadRtcRegister(RTC_STATUS_A);
  for (UINT32 Tries = 0; (Status & RTC_UPDATE_IN_PROGRESS) != 0 && Tries < RTC_UPDATE_WAIT_LIMIT; Tries++) {
    Status = ReadRtcRegister(RTC_STATUS_A);
  }
}

EFI_STATUS ReadRtcTime(EFI_TIME *Time, EFI_TIME_CAPABILITIES *Capabilities) {
  BOOLEAN InterruptsWereEnabled = (CpuReadFlags() & CPU_FLAGS_INTERRUPT_ENABLE) != 0;
  if (InterruptsWereEnabled) {
    CpuDisableInterrupts();
  }
  WaitForUpdateToEnd();
  Time->Year = FromBcd(ReadRtcRegister(RTC_YEAR));
  Time->Month = FromBcd(ReadRtcRegister(RTC_MONTH));
  Time->Day = FromBcd(ReadRtcRegister(RTC_DAY));
  Time->Hour = FromBcd(ReadRtcRegister(RTC_HOURS));
  Time->Minute = FromBcd(ReadRtcRegister(RTC_MINUTES));
  Time->Second = FromBcd(ReadRtcRegister(RTC_SECONDS));
  Time->Pad1 = 0;
  Time->Nanosecond = 0;
  Time->TimeZone = 0;
  Time->Daylight = 0;
  Time->Pad2 = 0;
  if (Capabilities != nullptr) {
    Capabilities->Resolution = RTC_RESOLUTION;
    Capabilities->Accuracy = RTC_ACCURACY;
    Capabilities->SetsToZero = FALSE;
  }
  if (InterruptsWereEnabled) {
    CpuEnableInterrupts();
  }
  return EFI_SUCCESS;
}
