#include "power_event_log/library_steps.h"

#include "runtime/entry/initialisers.h"

// The PCD protocol, SMRAM range, flash layer, flash selection and tag store steps join
// this list as those subsystems are built; so do their tear-down steps, which is why
// the tear-down list is still empty.
const LIBRARY_STEP gPowerEventLogInitialisers[] = {
    InitRuntimeServicesTable,  // 1
    InitBootServicesTable,  // 2
    InitSmmServicesTable,  // 4
    InitNothing,  // 6
    InitDxeServicesTable,  // 7
    InitHobList,  // 8
    InitTscFrequency,  // 9
};
const UINTN gPowerEventLogInitialiserCount = ARRAY_COUNT(gPowerEventLogInitialisers);
