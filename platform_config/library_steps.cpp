#include "platform_config/library_steps.h"

#include "runtime/entry/initialisers.h"
#include "runtime/shared_state/shared_state.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/tag_store.h"

// The initialiser and tear-down lists of this deliverable, in their order.
static const LIBRARY_STEP mInitialisers[] = {
    InitBootServicesTable,     // 1
    InitRuntimeServicesTable,  // 2
    InitNothing,               // 3
    InitHobList,               // 4
    InitDxeServicesTable,      // 5
    InitHiiProtocols,          // 6
    InitTscFrequency,          // 7
    InitAddressFixup,          // 8
    InitFlashLayer,            // 9
    InitFlashContextPointer,   // 10
    InitS3BootScript,          // 11
    InitFlashDeviceSelection,  // 12
    InitSmmVariableAccess,     // 13
    InitSharedListHead,        // 14
    TagStoreInit,              // 15
};
constinit const LIBRARY_LIST gPlatformConfigInitialisers = LIBRARY_LIST_OF(mInitialisers);

static const LIBRARY_STEP mTearDowns[] = {
    TearDownSmmVariableAccess,    // (1)
    TearDownS3BootScript,         // (2)
    TearDownFlashContextPointer,  // (3)
    TearDownFlashLayer,           // (4)
    TearDownAddressFixup,         // (5)
};
constinit const LIBRARY_LIST gPlatformConfigTearDowns = LIBRARY_LIST_OF(mTearDowns);
