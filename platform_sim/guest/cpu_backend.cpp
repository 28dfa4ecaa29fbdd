// Facade backend of host images: every access is forwarded to the platform model.
#include "platform_sim/guest/hardware_port.h"
#include "runtime/base/cpu.h"

static const SIM_HARDWARE_PORT *mPort;

extern "C" __attribute__((visibility("default"))) VOID EFIAPI SimAttachHardware(const SIM_HARDWARE_PORT *Port) {
  mPort = Port;
}

UINT8 IoRead8(UINT16 Port) { return (UINT8)mPort->IoRead(Port, 1); }
UINT16 IoRead16(UINT16 Port) { return (UINT16)mPort->IoRead(Port, 2); }
UINT32 IoRead32(UINT16 Port) { return (UINT32)mPort->IoRead(Port, 4); }

UINT8 IoWrite8(UINT16 Port, UINT8 Value) {
  mPort->IoWrite(Port, 1, Value);
  return Value;
}
UINT16 IoWrite16(UINT16 Port, UINT16 Value) {
  mPort->IoWrite(Port, 2, Value);
  return Value;
}
UINT32 IoWrite32(UINT16 Port, UINT32 Value) {
  mPort->IoWrite(Port, 4, Value);
  return Value;
}

UINT8 MmioRead8(UINT64 Address) { return (UINT8)mPort->MmioRead(Address, 1); }
UINT16 MmioRead16(UINT64 Address) { return (UINT16)mPort->MmioRead(Address, 2); }
UINT32 MmioRead32(UINT64 Address) { return (UINT32)mPort->MmioRead(Address, 4); }
UINT64 MmioRead64(UINT64 Address) { return mPort->MmioRead(Address, 8); }

UINT8 MmioWrite8(UINT64 Address, UINT8 Value) {
  mPort->MmioWrite(Address, 1, Value);
  return Value;
}
UINT16 MmioWrite16(UINT64 Address, UINT16 Value) {
  mPort->MmioWrite(Address, 2, Value);
  return Value;
}
UINT32 MmioWrite32(UINT64 Address, UINT32 Value) {
  mPort->MmioWrite(Address, 4, Value);
  return Value;
}
UINT64 MmioWrite64(UINT64 Address, UINT64 Value) {
  mPort->MmioWrite(Address, 8, Value);
  return Value;
}

UINTN CpuReadFlags(VOID) { return mPort->ReadFlags(); }
VOID CpuDisableInterrupts(VOID) { mPort->SetInterruptFlag(FALSE); }
VOID CpuEnableInterrupts(VOID) { mPort->SetInterruptFlag(TRUE); }
UINT64 CpuReadTsc(VOID) { return mPort->ReadTsc(); }
VOID CpuPause(VOID) { mPort->Pause(); }
