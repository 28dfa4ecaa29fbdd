// TSC frequency: taken from a table another image installed, from the GUID HOB the
// earlier phase left, or measured against the legacy timer; then published as a
// configuration table so that later images reuse it.
#include "runtime/base/config_tables.h"
#include "runtime/base/cpu.h"
#include "runtime/base/memory.h"
#include "runtime/base/services.h"
#include "runtime/entry/initialisers.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/hob.h"
#include "runtime/uefi/status.h"

#define PIT_COUNTER2_PORT 0x42
#define PIT_CONTROL_PORT 0x43
#define SYSTEM_CONTROL_PORT 0x61
#define SYSTEM_CONTROL_OUT2 0x20
// Counter 2 counts 0x04A9 = 1193 ticks of 1.193182 MHz: one millisecond.
#define PIT_ONE_MS_LOW 0xA9
#define PIT_ONE_MS_HIGH 0x04
// A millisecond takes a few thousand port reads on any real machine; a timer that
// has not fired after this many reads never will.
#define TSC_CALIBRATION_POLL_LIMIT 1000000u

// Returns ticks per second, or 0 when the timer never signalled the end of its count.
static UINT64 MeasureTscFrequency(VOID) {
  BOOLEAN InterruptsWereEnabled = CpuInterruptsEnabled();
  CpuDisableInterrupts();

  UINT8 SystemControl = IoRead8(SYSTEM_CONTROL_PORT);
  IoWrite8(PIT_CONTROL_PORT, 0xE8);  // read back counter 2 status
  UINT8 CounterStatus = IoRead8(PIT_COUNTER2_PORT);
  IoWrite8(SYSTEM_CONTROL_PORT, (UINT8)((SystemControl & 0xFD) | 0x01));  // gate on, speaker off
  IoWrite8(PIT_CONTROL_PORT, 0xB0);                                       // counter 2, low then high byte, mode 0
  IoWrite8(PIT_COUNTER2_PORT, PIT_ONE_MS_LOW);
  IoWrite8(PIT_COUNTER2_PORT, PIT_ONE_MS_HIGH);
  IoRead8(SYSTEM_CONTROL_PORT);
  UINT64 Start = CpuReadTsc();

  UINT64 Frequency = 0;
  for (UINT32 Poll = 0; Poll < TSC_CALIBRATION_POLL_LIMIT; Poll++) {
    if ((IoRead8(SYSTEM_CONTROL_PORT) & SYSTEM_CONTROL_OUT2) != 0) {
      Frequency = (CpuReadTsc() - Start) * 1000;
      break;
    }
  }

  IoWrite8(PIT_CONTROL_PORT, (UINT8)((CounterStatus & 0x3F) | 0x80));
  if ((CounterStatus & 0x3F) == 0x36) {
    IoWrite8(PIT_COUNTER2_PORT, 0x00);
    IoWrite8(PIT_COUNTER2_PORT, 0x05);
  }
  IoWrite8(SYSTEM_CONTROL_PORT, SystemControl);
  if (InterruptsWereEnabled) {
    CpuEnableInterrupts();
  }
  return Frequency;
}

EFI_STATUS EFIAPI InitTscFrequency(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  VOID *Table = nullptr;
  if (!EFI_ERROR(FindConfigurationTable(&gTscFrequencyGuid, &Table)) && Table != nullptr) {
    CopyMem(&gTscFrequency, Table, sizeof(UINT64));
    return EFI_SUCCESS;
  }

  UINT64 *Buffer = nullptr;
  EFI_STATUS Status = gBS->AllocatePool(EfiBootServicesData, sizeof(UINT64), (VOID **)&Buffer);
  if (EFI_ERROR(Status)) {
    return Status;
  }

  UINT64 Frequency = 0;
  const UINT8 *Hob = (const UINT8 *)FindGuidHob(&gTscFrequencyGuid);
  if (Hob != nullptr) {
    CopyMem(&Frequency, Hob + sizeof(EFI_HOB_GUID_TYPE), sizeof(UINT64));
  } else {
    Frequency = MeasureTscFrequency();
    if (Frequency == 0) {
      gBS->FreePool(Buffer);
      return EFI_TIMEOUT;
    }
  }

  // The image keeps the frequency even when the table cannot be published.
  gTscFrequency = Frequency;
  *Buffer = Frequency;
  Status = gBS->InstallConfigurationTable(&gTscFrequencyGuid, Buffer);
  if (EFI_ERROR(Status)) {
    gBS->FreePool(Buffer);
  }
  return Status;
}
