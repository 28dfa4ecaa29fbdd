// EFI_SMM_SX_DISPATCH2_PROTOCOL: handlers for entry into (or exit from) a sleep state
// (PI specification, volume 4).
#pragma once

#include "runtime/uefi/types.h"

typedef enum { SxS0 = 0, SxS1, SxS2, SxS3, SxS4, SxS5, EfiMaximumSleepType } EFI_SLEEP_TYPE;
typedef enum { SxEntry = 0, SxExit, EfiMaximumPhase } EFI_SLEEP_PHASE;
static_assert(sizeof(EFI_SLEEP_TYPE) == 4 && sizeof(EFI_SLEEP_PHASE) == 4, "sleep enumerations are 32-bit");

typedef struct {
  EFI_SLEEP_TYPE Type;
  EFI_SLEEP_PHASE Phase;
} EFI_SMM_SX_REGISTER_CONTEXT;
EFI_LAYOUT_SIZE(EFI_SMM_SX_REGISTER_CONTEXT, 8);
EFI_LAYOUT_OFFSET(EFI_SMM_SX_REGISTER_CONTEXT, Phase, 4);

// A child (or root) SMI handler: the dispatcher passes the context it was registered with.
typedef EFI_STATUS(EFIAPI *EFI_SMM_HANDLER_ENTRY_POINT2)(EFI_HANDLE DispatchHandle, CONST VOID *Context,
                                                         VOID *CommBuffer, UINTN *CommBufferSize);

struct EFI_SMM_SX_DISPATCH2_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_SMM_SX_REGISTER2)(CONST struct EFI_SMM_SX_DISPATCH2_PROTOCOL *This,
                                                 EFI_SMM_HANDLER_ENTRY_POINT2 DispatchFunction,
                                                 CONST EFI_SMM_SX_REGISTER_CONTEXT *RegisterContext,
                                                 EFI_HANDLE *DispatchHandle);
typedef EFI_STATUS(EFIAPI *EFI_SMM_SX_UNREGISTER2)(CONST struct EFI_SMM_SX_DISPATCH2_PROTOCOL *This,
                                                   EFI_HANDLE DispatchHandle);

struct EFI_SMM_SX_DISPATCH2_PROTOCOL {
  EFI_SMM_SX_REGISTER2 Register;
  EFI_SMM_SX_UNREGISTER2 UnRegister;
};
typedef struct EFI_SMM_SX_DISPATCH2_PROTOCOL EFI_SMM_SX_DISPATCH2_PROTOCOL;
EFI_LAYOUT_OFFSET(EFI_SMM_SX_DISPATCH2_PROTOCOL, UnRegister, 8);
