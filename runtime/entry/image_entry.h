// The generic image entry point and the description of a deliverable that it runs:
// an initialiser list, the driver's own entry and a tear-down list.
#pragma once

#include "runtime/uefi/system_table.h"

typedef EFI_STATUS(EFIAPI *LIBRARY_STEP)(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

typedef struct {
  const LIBRARY_STEP *Initialisers;
  UINTN InitialiserCount;
  const LIBRARY_STEP *TearDowns;
  UINTN TearDownCount;
  EFI_IMAGE_ENTRY_POINT DriverEntry;
  // Run the driver entry through the exit context (the SMM driver does).
  BOOLEAN UseExitContext;
  // 0: no firmware revision check.
  UINT32 MinimumRevision;
} IMAGE_DESCRIPTOR;

// Each image defines exactly one descriptor.
extern const IMAGE_DESCRIPTOR gImageDescriptor;

#define ARRAY_COUNT(a) (sizeof(a) / sizeof((a)[0]))

extern "C" EFI_STATUS EFIAPI ImageEntryPoint(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

// Walks a list in order; each step's status is discarded.
VOID RunLibrarySteps(const LIBRARY_STEP *Steps, UINTN Count, EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
