// PlatformConfigDxe's library initialisers and tear-down steps.
#pragma once

#include "runtime/entry/image_entry.h"

extern const LIBRARY_STEP gPlatformConfigInitialisers[];
extern const UINTN gPlatformConfigInitialiserCount;
extern const LIBRARY_STEP gPlatformConfigTearDowns[];
extern const UINTN gPlatformConfigTearDownCount;
