// EFI_RUNTIME_SERVICES, from the UEFI specification (Runtime Services chapter).
#pragma once

#include "runtime/uefi/system_table.h"

typedef EFI_STATUS(EFIAPI *EFI_GET_TIME)(EFI_TIME *Time, VOID *Capabilities);
// ConvertPointer's DebugDisposition: a null pointer is allowed and stays null.
#define EFI_OPTIONAL_PTR 0x00000001u

typedef EFI_STATUS(EFIAPI *EFI_CONVERT_POINTER)(UINTN DebugDisposition, VOID **Address);
typedef EFI_STATUS(EFIAPI *EFI_GET_VARIABLE)(CHAR16 *VariableName, EFI_GUID *VendorGuid, UINT32 *Attributes,
                                             UINTN *DataSize, VOID *Data);
typedef EFI_STATUS(EFIAPI *EFI_GET_NEXT_VARIABLE_NAME)(UINTN *VariableNameSize, CHAR16 *VariableName,
                                                       EFI_GUID *VendorGuid);
typedef EFI_STATUS(EFIAPI *EFI_SET_VARIABLE)(CHAR16 *VariableName, EFI_GUID *VendorGuid, UINT32 Attributes,
                                             UINTN DataSize, VOID *Data);
typedef EFI_STATUS(EFIAPI *EFI_QUERY_VARIABLE_INFO)(UINT32 Attributes, UINT64 *MaximumVariableStorageSize,
                                                    UINT64 *RemainingVariableStorageSize, UINT64 *MaximumVariableSize);
typedef VOID(EFIAPI *EFI_RESET_SYSTEM)(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus, UINTN DataSize,
                                       VOID *ResetData);

struct EFI_RUNTIME_SERVICES {
  EFI_TABLE_HEADER Hdr;
  EFI_GET_TIME GetTime;
  VOID *SetTime;
  VOID *GetWakeupTime;
  VOID *SetWakeupTime;
  VOID *SetVirtualAddressMap;
  EFI_CONVERT_POINTER ConvertPointer;
  EFI_GET_VARIABLE GetVariable;
  EFI_GET_NEXT_VARIABLE_NAME GetNextVariableName;
  EFI_SET_VARIABLE SetVariable;
  VOID *GetNextHighMonotonicCount;
  EFI_RESET_SYSTEM ResetSystem;
  VOID *UpdateCapsule;
  VOID *QueryCapsuleCapabilities;
  EFI_QUERY_VARIABLE_INFO QueryVariableInfo;
};
typedef struct EFI_RUNTIME_SERVICES EFI_RUNTIME_SERVICES;

EFI_LAYOUT_OFFSET(EFI_RUNTIME_SERVICES, GetTime, 24);
EFI_LAYOUT_OFFSET(EFI_RUNTIME_SERVICES, ConvertPointer, 64);
EFI_LAYOUT_OFFSET(EFI_RUNTIME_SERVICES, GetVariable, 72);
EFI_LAYOUT_OFFSET(EFI_RUNTIME_SERVICES, SetVariable, 88);
EFI_LAYOUT_OFFSET(EFI_RUNTIME_SERVICES, ResetSystem, 104);
EFI_LAYOUT_OFFSET(EFI_RUNTIME_SERVICES, QueryVariableInfo, 128);
EFI_LAYOUT_SIZE(EFI_RUNTIME_SERVICES, 136);
