// DiskInfoSetupDxe's library initialisers; it has no tear-down steps.
#pragma once

#include "runtime/entry/image_entry.h"

extern const LIBRARY_LIST gDiskInfoInitialisers;
