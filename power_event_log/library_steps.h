// PowerEventLogSmm's library initialisers and tear-down steps.
#pragma once

#include "runtime/entry/image_entry.h"

extern const LIBRARY_LIST gPowerEventLogInitialisers;
extern const LIBRARY_LIST gPowerEventLogTearDowns;
