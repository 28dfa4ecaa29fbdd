// PlatformConfigDxe as an image: its library steps and its entry.
#include "platform_config/library_steps.h"
#include "platform_config/operations.h"

const IMAGE_DESCRIPTOR gImageDescriptor = {
    gPlatformConfigInitialisers, gPlatformConfigInitialiserCount, gPlatformConfigTearDowns, gPlatformConfigTearDownCount,
    PlatformConfigDxeEntry, FALSE, 0,
};
