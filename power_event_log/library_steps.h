// PowerEventLogSmm's library initialisers and tear-down steps.
#pragma once

#include "runtime/entry/image_entry.h"

extern const LIBRARY_STEP gPowerEventLogInitialisers[];
extern const UINTN gPowerEventLogInitialiserCount;
extern const LIBRARY_STEP gPowerEventLogTearDowns[];
extern const UINTN gPowerEventLogTearDownCount;
