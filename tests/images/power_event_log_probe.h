// Shared between the power-event log probe image and the tests that load it.
#pragma once

#include "power_event_log/power_event_log.h"

// The pointers into boot-time memory the image keeps, as numbers.
typedef struct {
  UINT64 SystemTable;
  UINT64 BootServices;
  UINT64 RuntimeServices;
  UINT64 DxeServices;
  UINT64 HobList;
  UINT64 Pcd;
  UINT64 PiPcd;
  UINT64 PcdInfo;
  UINT64 PiPcdInfo;
} POWER_EVENT_LOG_PROBE_POINTERS;

// The RTC reader of an image built from the driver's sources, and what it keeps.
typedef struct {
  UINT8(EFIAPI *ReadRtcRegister)(UINT8 Register);
  EFI_STATUS(EFIAPI *ReadRtcTime)(EFI_TIME *Time, EFI_TIME_CAPABILITIES *Capabilities);
  VOID(EFIAPI *BootTimePointers)(POWER_EVENT_LOG_PROBE_POINTERS *Pointers);
} POWER_EVENT_LOG_PROBE;

inline EFI_GUID gPowerEventLogProbeProtocolGuid = {
    0x9A3E51C7, 0x2B64, 0x4D81, {0xA5, 0x0F, 0x6C, 0x17, 0xE2, 0x93, 0x4B, 0xD8}};
