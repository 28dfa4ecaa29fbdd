#include "disk_info/library_steps.h"

#include "runtime/entry/initialisers.h"

const LIBRARY_STEP gDiskInfoInitialisers[] = {
    InitBootServicesTable,
    InitRuntimeServicesTable,
    InitNothing,
    InitHiiProtocols,
    InitHobList,
    InitDxeServicesTable,
};
const UINTN gDiskInfoInitialiserCount = ARRAY_COUNT(gDiskInfoInitialisers);
