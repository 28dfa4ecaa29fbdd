#include "platform_config/library_steps.h"

#include "runtime/entry/initialisers.h"

// Steps 8 to 15 (address fix-up, flash layer, flash context, S3 record, flash
// selection, SMM variable access, list head, tag store) and the tear-down steps join
// as those subsystems are built.
const LIBRARY_STEP gPlatformConfigInitialisers[] = {
    InitBootServicesTable,  // 1
    InitRuntimeServicesTable,  // 2
    InitNothing,  // 3
    InitHobList,  // 4
    InitDxeServicesTable,  // 5
    InitHiiProtocols,  // 6
    InitTscFrequency,  // 7
};
const UINTN gPlatformConfigInitialiserCount = ARRAY_COUNT(gPlatformConfigInitialisers);
