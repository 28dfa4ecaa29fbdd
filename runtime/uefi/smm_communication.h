// EFI_SMM_COMMUNICATION_PROTOCOL (PI specification, volume 4): a message buffer that
// starts with the GUID of the SMM handler and the length of the data after it.
#pragma once

#include "runtime/uefi/types.h"

struct EFI_SMM_COMMUNICATION_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_SMM_COMMUNICATE2)(CONST struct EFI_SMM_COMMUNICATION_PROTOCOL *This, VOID *CommBuffer,
                                                 UINTN *CommSize);

struct EFI_SMM_COMMUNICATION_PROTOCOL {
  EFI_SMM_COMMUNICATE2 Communicate;
};
typedef struct EFI_SMM_COMMUNICATION_PROTOCOL EFI_SMM_COMMUNICATION_PROTOCOL;
EFI_LAYOUT_SIZE(EFI_SMM_COMMUNICATION_PROTOCOL, 8);

#pragma pack(push, 1)
typedef struct {
  EFI_GUID HeaderGuid;
  UINT64 MessageLength;  // bytes of data after this header
} EFI_SMM_COMMUNICATE_HEADER;
#pragma pack(pop)
EFI_LAYOUT_SIZE(EFI_SMM_COMMUNICATE_HEADER, 24);
EFI_LAYOUT_OFFSET(EFI_SMM_COMMUNICATE_HEADER, MessageLength, 16);
