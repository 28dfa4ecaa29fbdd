// PowerEventLogSmm's library initialisers and tear-down steps, in their order. The lists
// and their counts are constants of every translation unit that includes them, so an
// image descriptor built from them needs no start-up code.
#pragma once

#include "runtime/entry/image_entry.h"
#include "runtime/entry/initialisers.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/tag_store.h"

inline constexpr LIBRARY_STEP gPowerEventLogInitialisers[] = {
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
inline constexpr UINTN gPowerEventLogInitialiserCount = ARRAY_COUNT(gPowerEventLogInitialisers);

inline constexpr LIBRARY_STEP gPowerEventLogTearDowns[] = {
    TearDownFlashContextPointer,  // (1)
    TearDownFlashLayer,  // (2)
    TearDownSmramRanges,  // (3)
    TearDownPcdProtocols,  // (4)
};
inline constexpr UINTN gPowerEventLogTearDownCount = ARRAY_COUNT(gPowerEventLogTearDowns);
