// The two PCD access protocols: the firmware's token-number protocol and the PI
// specification's EFI_PCD_PROTOCOL (token-space access). Only the members the
// runtime calls carry a typed signature; the others keep their slot.
#pragma once

#include "runtime/uefi/types.h"

typedef UINT32(EFIAPI *PCD_PROTOCOL_GET32)(UINTN TokenNumber);
typedef EFI_STATUS(EFIAPI *PCD_PROTOCOL_SET32)(UINTN TokenNumber, UINT32 Value);

typedef struct {
  VOID *SetSku;
  VOID *Get8;
  VOID *Get16;
  PCD_PROTOCOL_GET32 Get32;
  VOID *Get64;
  VOID *GetPtr;
  VOID *GetBool;
  VOID *GetSize;
  VOID *Get8Ex;
  VOID *Get16Ex;
  VOID *Get32Ex;
  VOID *Get64Ex;
  VOID *GetPtrEx;
  VOID *GetBoolEx;
  VOID *GetSizeEx;
  VOID *Set8;
  VOID *Set16;
  PCD_PROTOCOL_SET32 Set32;
  VOID *Set64;
  VOID *SetPtr;
  VOID *SetBool;
  VOID *Set8Ex;
  VOID *Set16Ex;
  VOID *Set32Ex;
  VOID *Set64Ex;
  VOID *SetPtrEx;
  VOID *SetBoolEx;
  VOID *CallbackOnSet;
  VOID *CancelCallback;
  VOID *GetNextToken;
  VOID *GetNextTokenSpace;
} PCD_PROTOCOL;
EFI_LAYOUT_OFFSET(PCD_PROTOCOL, Get32, 24);
EFI_LAYOUT_OFFSET(PCD_PROTOCOL, Set32, 136);
EFI_LAYOUT_SIZE(PCD_PROTOCOL, 248);

typedef UINT64(EFIAPI *EFI_PCD_PROTOCOL_GET_64)(CONST EFI_GUID *Guid, UINTN TokenNumber);
typedef VOID *(EFIAPI *EFI_PCD_PROTOCOL_GET_POINTER)(CONST EFI_GUID *Guid, UINTN TokenNumber);
typedef UINTN(EFIAPI *EFI_PCD_PROTOCOL_GET_SIZE)(CONST EFI_GUID *Guid, UINTN TokenNumber);
typedef EFI_STATUS(EFIAPI *EFI_PCD_PROTOCOL_SET_64)(CONST EFI_GUID *Guid, UINTN TokenNumber, UINT64 Value);
typedef EFI_STATUS(EFIAPI *EFI_PCD_PROTOCOL_GET_NEXT_TOKEN)(CONST EFI_GUID *Guid, UINTN *TokenNumber);

typedef struct {
  VOID *SetSku;
  VOID *Get8;
  VOID *Get16;
  VOID *Get32;
  EFI_PCD_PROTOCOL_GET_64 Get64;
  EFI_PCD_PROTOCOL_GET_POINTER GetPtr;
  VOID *GetBool;
  EFI_PCD_PROTOCOL_GET_SIZE GetSize;
  VOID *Set8;
  VOID *Set16;
  VOID *Set32;
  EFI_PCD_PROTOCOL_SET_64 Set64;
  VOID *SetPtr;
  VOID *SetBool;
  VOID *CallbackOnSet;
  VOID *CancelCallback;
  EFI_PCD_PROTOCOL_GET_NEXT_TOKEN GetNextToken;
  VOID *GetNextTokenSpace;
} EFI_PCD_PROTOCOL;
EFI_LAYOUT_OFFSET(EFI_PCD_PROTOCOL, Get64, 32);
EFI_LAYOUT_OFFSET(EFI_PCD_PROTOCOL, GetPtr, 40);
EFI_LAYOUT_OFFSET(EFI_PCD_PROTOCOL, GetSize, 56);
EFI_LAYOUT_OFFSET(EFI_PCD_PROTOCOL, Set64, 88);
EFI_LAYOUT_OFFSET(EFI_PCD_PROTOCOL, GetNextToken, 128);
EFI_LAYOUT_SIZE(EFI_PCD_PROTOCOL, 144);
