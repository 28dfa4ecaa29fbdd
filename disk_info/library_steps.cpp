#include "disk_info/library_steps.h"

#include "runtime/entry/initialisers.h"

static const LIBRARY_STEP mInitialisers[] = {
    InitBootServicesTable, InitRuntimeServicesTable, InitNothing, InitHiiProtocols, InitHobList, InitDxeServicesTable,
};
constinit const LIBRARY_LIST gDiskInfoInitialisers = LIBRARY_LIST_OF(mInitialisers);
