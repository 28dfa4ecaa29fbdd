// DiskInfoSetupDxe as an image: its library steps and its entry.
#include "disk_info/disk_info.h"
#include "disk_info/library_steps.h"

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {
    &gDiskInfoInitialisers, &gNoLibrarySteps, DiskInfoSetupEntry, FALSE, 0,
};
