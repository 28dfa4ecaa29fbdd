#include "runtime/base/services.h"

EFI_HANDLE gImageHandle;
EFI_SYSTEM_TABLE *gST;
EFI_BOOT_SERVICES *gBS;
EFI_RUNTIME_SERVICES *gRT;
VOID *gHobList;
EFI_DXE_SERVICES *gDS;
VOID *gHiiString;
VOID *gHiiDatabase;
VOID *gHiiConfigRouting;
VOID *gHiiFont;
VOID *gHiiImage;
UINT64 gTscFrequency;
EFI_SMM_SYSTEM_TABLE2 *gSmst;
EFI_SMRAM_DESCRIPTOR *gSmramRanges;
UINTN gSmramRangeCount;
