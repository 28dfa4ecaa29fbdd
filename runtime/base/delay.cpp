#include "runtime/base/delay.h"

#include "runtime/base/cpu.h"
#include "runtime/base/math64.h"
#include "runtime/base/services.h"

VOID MicroSecondDelay(UINTN MicroSeconds) {
  UINT64 Ticks = DivU64x32Remainder(MultU64x64(gTscFrequency, MicroSeconds), 1000000, nullptr);
  UINT64 Start = CpuReadTsc();
  // Spin until the counter has moved past the target: even a zero tick count waits
  // for at least one advance.
  while (CpuReadTsc() <= Start + Ticks) {
    CpuPause();
  }
}
