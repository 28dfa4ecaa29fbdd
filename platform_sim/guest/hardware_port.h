// The table through which a host image's hardware facade reaches the platform model.
// Compiled into host images as well, so it uses only the driver-side types.
#pragma once

#include "runtime/uefi/types.h"

typedef struct {
  UINT64(EFIAPI *IoRead)(UINT16 Port, UINT8 Width);
  VOID(EFIAPI *IoWrite)(UINT16 Port, UINT8 Width, UINT64 Value);
  UINT64(EFIAPI *MmioRead)(UINT64 Address, UINT8 Width);
  VOID(EFIAPI *MmioWrite)(UINT64 Address, UINT8 Width, UINT64 Value);
  UINT64(EFIAPI *ReadFlags)(VOID);
  VOID(EFIAPI *SetInterruptFlag)(BOOLEAN Enabled);
  UINT64(EFIAPI *ReadTsc)(VOID);
  VOID(EFIAPI *Pause)(VOID);
} SIM_HARDWARE_PORT;

// Exported by every host image; the loader calls it before the image entry.
#define SIM_ATTACH_HARDWARE_SYMBOL "SimAttachHardware"
typedef VOID(EFIAPI *SIM_ATTACH_HARDWARE)(const SIM_HARDWARE_PORT *Port);
