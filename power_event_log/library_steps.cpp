#include "power_event_log/library_steps.h"

#include "runtime/entry/initialisers.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/tag_store.h"

// The PCD protocol and SMRAM range steps (3, 5) and their tear-down steps (3), (4)
// join as those subsystems are built.
const LIBRARY_STEP gPowerEventLogInitialisers[] = {
    InitRuntimeServicesTable,  // 1
    InitBootServicesTable,  // 2
    InitSmmServicesTable,  // 4
    InitNothing,  // 6
    InitDxeServicesTable,  // 7
    InitHobList,  // 8
    InitTscFrequency,  // 9
    InitFlashLayer,  // 10
    InitFlashContextPointer,  // 11
    InitFlashDeviceSelection,  // 12
    TagStoreInit,  // 13
};
const UINTN gPowerEventLogInitialiserCount = ARRAY_COUNT(gPowerEventLogInitialisers);

const LIBRARY_STEP gPowerEventLogTearDowns[] = {
    TearDownFlashContextPointer,  // (1)
    TearDownFlashLayer,  // (2)
};
const UINTN gPowerEventLogTearDownCount = ARRAY_COUNT(gPowerEventLogTearDowns);
