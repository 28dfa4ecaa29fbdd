// PlatformConfigDxe as an image: its library steps and its entry.
#include "platform_config/library_steps.h"
#include "platform_config/operations.h"

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {
    &gPlatformConfigInitialisers, &gPlatformConfigTearDowns, PlatformConfigDxeEntry, FALSE, 0,
};
