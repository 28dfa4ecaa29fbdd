#include "power_event_log/library_steps.h"

#include "runtime/entry/initialisers.h"
#include "runtime/shared_state/shared_state.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/tag_store.h"

// The initialiser and tear-down lists of this deliverable, in their order.
static const LIBRARY_STEP mInitialisers[] = {
    InitRuntimeServicesTable,  // 1
    InitBootServicesTable,     // 2
    InitPcdProtocols,          // 3
    InitSmmServicesTable,      // 4
    InitSmramRanges,           // 5
    InitNothing,               // 6
    InitDxeServicesTable,      // 7
    InitHobList,               // 8
    InitTscFrequency,          // 9
    InitFlashLayer,            // 10
    InitFlashContextPointer,   // 11
    InitFlashDeviceSelection,  // 12
    TagStoreInit,              // 13
};
constinit const LIBRARY_LIST gPowerEventLogInitialisers = LIBRARY_LIST_OF(mInitialisers);

static const LIBRARY_STEP mTearDowns[] = {
    TearDownFlashContextPointer,  // (1)
    TearDownFlashLayer,           // (2)
    TearDownSmramRanges,          // (3)
    TearDownPcdProtocols,         // (4)
};
constinit const LIBRARY_LIST gPowerEventLogTearDowns = LIBRARY_LIST_OF(mTearDowns);
