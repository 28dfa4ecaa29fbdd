// Busy-wait delay timed by the TSC.
#pragma once

#include "runtime/uefi/types.h"

VOID MicroSecondDelay(UINTN MicroSeconds);
