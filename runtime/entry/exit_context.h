// The exit context: the driver entry runs behind a saved execution context, and the
// exit routine resumes that context with the status to return.
#pragma once

#include "runtime/uefi/system_table.h"

// Callee-saved state of the Microsoft x64 convention (a superset of the System V one).
typedef struct {
  UINT64 Rbx;
  UINT64 Rsp;
  UINT64 Rbp;
  UINT64 Rdi;
  UINT64 Rsi;
  UINT64 R12;
  UINT64 R13;
  UINT64 R14;
  UINT64 R15;
  UINT64 Rip;
  UINT8 Xmm6To15[10][16];
  UINT32 Mxcsr;
  UINT32 Reserved;
} EXECUTION_CONTEXT;
EFI_LAYOUT_OFFSET(EXECUTION_CONTEXT, Rip, 72);
EFI_LAYOUT_OFFSET(EXECUTION_CONTEXT, Xmm6To15, 80);
EFI_LAYOUT_OFFSET(EXECUTION_CONTEXT, Mxcsr, 240);

// Returns 0 when saving, and the resume value when execution comes back through it.
extern "C" UINTN EFIAPI SaveExecutionContext(EXECUTION_CONTEXT *Context) __attribute__((returns_twice));
extern "C" VOID EFIAPI ResumeExecutionContext(EXECUTION_CONTEXT *Context, UINTN Value) __attribute__((noreturn));

EFI_STATUS RunInExitContext(EFI_IMAGE_ENTRY_POINT DriverEntry, EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
// Stores Status (a success, or any status while the stored one is an error) and
// resumes the saved context. Only the driver entry's caller reaches it.
VOID ExitDriver(EFI_STATUS Status) __attribute__((noreturn));
