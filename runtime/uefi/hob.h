// Hand-off block headers, from the PI specification (volume 3).
#pragma once

#include "runtime/uefi/types.h"

#define EFI_HOB_TYPE_HANDOFF 0x0001
#define EFI_HOB_TYPE_GUID_EXTENSION 0x0004
#define EFI_HOB_TYPE_END_OF_HOB_LIST 0xFFFF

typedef struct {
  UINT16 HobType;
  UINT16 HobLength;
  UINT32 Reserved;
} EFI_HOB_GENERIC_HEADER;
EFI_LAYOUT_SIZE(EFI_HOB_GENERIC_HEADER, 8);

typedef struct {
  EFI_HOB_GENERIC_HEADER Header;
  EFI_GUID Name;
} EFI_HOB_GUID_TYPE;
EFI_LAYOUT_OFFSET(EFI_HOB_GUID_TYPE, Name, 8);
EFI_LAYOUT_SIZE(EFI_HOB_GUID_TYPE, 24);
