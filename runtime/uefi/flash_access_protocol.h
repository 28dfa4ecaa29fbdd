// The platform's flash access protocol: only its third function, ReadFlash, is used.
#pragma once

#include "runtime/uefi/types.h"

struct FLASH_ACCESS_PROTOCOL;
typedef EFI_STATUS(EFIAPI *FLASH_ACCESS_READ)(struct FLASH_ACCESS_PROTOCOL *This, VOID *Buffer, UINT64 Address,
                                              UINTN Size);

struct FLASH_ACCESS_PROTOCOL {
  VOID *Function0;
  VOID *Function1;
  FLASH_ACCESS_READ ReadFlash;
};
typedef struct FLASH_ACCESS_PROTOCOL FLASH_ACCESS_PROTOCOL;
EFI_LAYOUT_OFFSET(FLASH_ACCESS_PROTOCOL, ReadFlash, 16);
