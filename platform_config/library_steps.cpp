#include "platform_config/library_steps.h"

#include "runtime/entry/initialisers.h"

// Steps 9, 10, 12 and 15 (flash layer, flash context, flash selection, tag store)
// and their tear-down steps join as those subsystems are built.
const LIBRARY_STEP gPlatformConfigInitialisers[] = {
    InitBootServicesTable,  // 1
    InitRuntimeServicesTable,  // 2
    InitNothing,  // 3
    InitHobList,  // 4
    InitDxeServicesTable,  // 5
    InitHiiProtocols,  // 6
    InitTscFrequency,  // 7
    InitAddressFixup,  // 8
    InitS3BootScript,  // 11
    InitSmmVariableAccess,  // 13
    InitSharedListHead,  // 14
};
const UINTN gPlatformConfigInitialiserCount = ARRAY_COUNT(gPlatformConfigInitialisers);

const LIBRARY_STEP gPlatformConfigTearDowns[] = {
    TearDownSmmVariableAccess,  // (1)
    TearDownS3BootScript,  // (2)
    TearDownAddressFixup,  // (5)
};
const UINTN gPlatformConfigTearDownCount = ARRAY_COUNT(gPlatformConfigTearDowns);
