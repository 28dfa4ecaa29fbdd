// Busy-wait delay timed by the TSC.
#pragma once

#include "runtime/uefi/types.h"

// Spins (CpuPause between TSC reads) until MicroSeconds have passed at gTscFrequency,
// then returns; it cannot fail and touches no device. It always waits for the counter
// to move at least once, so MicroSecondDelay(0) and a delay taken before the frequency
// is known (gTscFrequency == 0) each last one counter advance.
// Blocking bound: MicroSeconds at the calibrated rate; interrupts are left as they are.
// Precondition: gTscFrequency * MicroSeconds fits in 64 bits (about 5,000 s at 4 GHz).
VOID MicroSecondDelay(UINTN MicroSeconds);
