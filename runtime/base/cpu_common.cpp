#include "runtime/base/cpu.h"

UINT32 MmioAndThenOr32(UINT64 Address, UINT32 AndMask, UINT32 OrMask) {
  return MmioWrite32(Address, (MmioRead32(Address) & AndMask) | OrMask);
}

VOID MmioReadBuffer8(UINT64 Address, UINTN Length, VOID *Buffer) {
  UINT8 *Destination = (UINT8 *)Buffer;
  for (UINTN Index = 0; Index < Length; Index++) {
    Destination[Index] = MmioRead8(Address + Index);
  }
}

BOOLEAN CpuInterruptsEnabled(VOID) { return (CpuReadFlags() & CPU_FLAGS_INTERRUPT_ENABLE) != 0 ? TRUE : FALSE; }
