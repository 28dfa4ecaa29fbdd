// Lock-box requests to the SMM lock-box handler through the SMM communication
// protocol. The request layouts are shared with the SMM side: keep them byte for byte.
#pragma once

#include "runtime/uefi/smm_communication.h"

#define LOCK_BOX_COMMAND_SAVE 1u
#define LOCK_BOX_COMMAND_SET_ATTRIBUTES 4u
// The only attribute: restore the box in place at S3 resume.
#define LOCK_BOX_ATTRIBUTE_RESTORE_IN_PLACE 1ull

#pragma pack(push, 1)
typedef struct {
  UINT32 Command;
  UINT32 DataLength;    // bytes of this request after the communication header
  UINT64 ReturnStatus;  // preset to all ones; the handler writes the result here
} LOCK_BOX_PARAMETER_HEADER;

typedef struct {
  EFI_SMM_COMMUNICATE_HEADER Communicate;
  LOCK_BOX_PARAMETER_HEADER Header;
  EFI_GUID Guid;
  UINT64 Buffer;
  UINT64 Length;
} LOCK_BOX_SAVE_REQUEST;

typedef struct {
  EFI_SMM_COMMUNICATE_HEADER Communicate;
  LOCK_BOX_PARAMETER_HEADER Header;
  EFI_GUID Guid;
  UINT64 Attributes;
} LOCK_BOX_SET_ATTRIBUTES_REQUEST;
#pragma pack(pop)

EFI_LAYOUT_SIZE(LOCK_BOX_PARAMETER_HEADER, 16);
EFI_LAYOUT_OFFSET(LOCK_BOX_SAVE_REQUEST, Header.Command, 24);
EFI_LAYOUT_OFFSET(LOCK_BOX_SAVE_REQUEST, Header.DataLength, 28);
EFI_LAYOUT_OFFSET(LOCK_BOX_SAVE_REQUEST, Header.ReturnStatus, 32);
EFI_LAYOUT_OFFSET(LOCK_BOX_SAVE_REQUEST, Guid, 40);
EFI_LAYOUT_OFFSET(LOCK_BOX_SAVE_REQUEST, Buffer, 56);
EFI_LAYOUT_OFFSET(LOCK_BOX_SAVE_REQUEST, Length, 64);
EFI_LAYOUT_SIZE(LOCK_BOX_SAVE_REQUEST, 72);
EFI_LAYOUT_OFFSET(LOCK_BOX_SET_ATTRIBUTES_REQUEST, Guid, 40);
EFI_LAYOUT_OFFSET(LOCK_BOX_SET_ATTRIBUTES_REQUEST, Attributes, 56);
EFI_LAYOUT_SIZE(LOCK_BOX_SET_ATTRIBUTES_REQUEST, 64);

// EFI_INVALID_PARAMETER for a null GUID or buffer or a zero length, EFI_NOT_STARTED
// without the communication protocol; otherwise the handler's result.
EFI_STATUS SaveLockBox(const EFI_GUID *Guid, const VOID *Buffer, UINTN Length);
// EFI_INVALID_PARAMETER for a null GUID or an attribute beyond restore-in-place.
EFI_STATUS SetLockBoxAttributes(const EFI_GUID *Guid, UINT64 Attributes);
