// The PCD protocol pointers, shared between lazy lookup here and the SMM driver's
// initialiser that fills them up front.
#pragma once

#include "runtime/uefi/pcd.h"

extern PCD_PROTOCOL *gPcd;
extern EFI_PCD_PROTOCOL *gPiPcd;
