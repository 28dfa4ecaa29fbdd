// The PCD protocol pointers, shared between lazy lookup here and the SMM driver's
// initialiser that fills them up front.
#pragma once

#include "runtime/uefi/pcd.h"

extern PCD_PROTOCOL *gPcd;
extern EFI_PCD_PROTOCOL *gPiPcd;
// The two PCD information protocols (the firmware's and EFI_GET_PCD_INFO_PROTOCOL):
// kept by the SMM driver's initialiser along with the two above, never called.
extern VOID *gPcdInfo;
extern VOID *gPiPcdInfo;
