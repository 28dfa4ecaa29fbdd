#include "power_event_log/library_steps.h"

#include "runtime/entry/initialisers.h"

// The flash layer, flash selection and tag store steps (10 to 13) and the flash
// tear-down steps (1) and (2) join as those subsystems are built.
const LIBRARY_STEP gPowerEventLogInitialisers[] = {
    InitRuntimeServicesTable,  // 1
    InitBootServicesTable,  // 2
    InitPcdProtocols,  // 3
    InitSmmServicesTable,  // 4
    InitSmramRanges,  // 5
    InitNothing,  // 6
    InitDxeServicesTable,  // 7
    InitHobList,  // 8
    InitTscFrequency,  // 9
};
const UINTN gPowerEventLogInitialiserCount = ARRAY_COUNT(gPowerEventLogInitialisers);

const LIBRARY_STEP gPowerEventLogTearDowns[] = {
    TearDownSmramRanges,  // (3)
    TearDownPcdProtocols,  // (4)
};
const UINTN gPowerEventLogTearDownCount = ARRAY_COUNT(gPowerEventLogTearDowns);
