#include "platform_config/library_steps.h"

#include "runtime/entry/initialisers.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/tag_store.h"

// Steps 8, 11, 13 and 14 (address fix-up, S3 record, SMM variable access, list head)
// and their tear-down steps join as those subsystems are built.
const LIBRARY_STEP gPlatformConfigInitialisers[] = {
    InitBootServicesTable,  // 1
    InitRuntimeServicesTable,  // 2
    InitNothing,  // 3
    InitHobList,  // 4
    InitDxeServicesTable,  // 5
    InitHiiProtocols,  // 6
    InitTscFrequency,  // 7
    InitFlashLayer,  // 9
    InitFlashContextPointer,  // 10
    InitFlashDeviceSelection,  // 12
    TagStoreInit,  // 15
};
const UINTN gPlatformConfigInitialiserCount = ARRAY_COUNT(gPlatformConfigInitialisers);

const LIBRARY_STEP gPlatformConfigTearDowns[] = {
    TearDownFlashContextPointer,  // (3)
    TearDownFlashLayer,  // (4)
};
const UINTN gPlatformConfigTearDownCount = ARRAY_COUNT(gPlatformConfigTearDowns);
