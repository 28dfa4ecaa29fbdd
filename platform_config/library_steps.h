// PlatformConfigDxe's library initialisers and tear-down steps.
#pragma once

#include "runtime/entry/image_entry.h"

extern const LIBRARY_LIST gPlatformConfigInitialisers;
extern const LIBRARY_LIST gPlatformConfigTearDowns;
