// Module-wide service pointers and values, one set per image. Only the library
// initialisers write them; everything else reads them and checks for null.
#pragma once

#include "runtime/uefi/boot_services.h"
#include "runtime/uefi/dxe_services.h"
#include "runtime/uefi/runtime_services.h"
#include "runtime/uefi/smm.h"
#include "runtime/uefi/smm_access.h"

extern EFI_HANDLE gImageHandle;
extern EFI_SYSTEM_TABLE *gST;
extern EFI_BOOT_SERVICES *gBS;
extern EFI_RUNTIME_SERVICES *gRT;
extern VOID *gHobList;
extern EFI_DXE_SERVICES *gDS;
extern VOID *gHiiString;
extern VOID *gHiiDatabase;
extern VOID *gHiiConfigRouting;
extern VOID *gHiiFont;
extern VOID *gHiiImage;
extern UINT64 gTscFrequency;
extern EFI_SMM_SYSTEM_TABLE2 *gSmst;
extern EFI_SMRAM_DESCRIPTOR *gSmramRanges;
extern UINTN gSmramRangeCount;
