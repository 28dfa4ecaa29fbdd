#include "power_event_log/library_steps.h"

#include "runtime/entry/initialisers.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/tag_store.h"

// The initialiser and tear-down lists of this deliverable, in their order.
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
    InitFlashLayer,  // 10
    InitFlashContextPointer,  // 11
    InitFlashDeviceSelection,  // 12
    TagStoreInit,  // 13
};
const UINTN gPowerEventLogInitialiserCount = ARRAY_COUNT(gPowerEventLogInitialisers);

const LIBRARY_STEP gPowerEventLogTearDowns[] = {
    TearDownFlashContextPointer,  // (1)
    TearDownFlashLayer,  // (2)
    TearDownSmramRanges,  // (3)
    TearDownPcdProtocols,  // (4)
};
const UINTN gPowerEventLogTearDownCount = ARRAY_COUNT(gPowerEventLogTearDowns);
