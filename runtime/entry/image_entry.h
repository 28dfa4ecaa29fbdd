// The generic image entry point and the description of a deliverable that it runs:
// an initialiser list, the driver's own entry and a tear-down list.
#pragma once

#include "runtime/uefi/system_table.h"

typedef EFI_STATUS(EFIAPI *LIBRARY_STEP)(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

// A list of steps and its length. Define it next to its array with LIBRARY_LIST_OF, so
// that the count is a constant of the same translation unit: an image has no C runtime
// to run a dynamic initialiser, and a list built from a count defined elsewhere would
// read as empty at entry.
typedef struct {
  const LIBRARY_STEP *Steps;
  UINTN Count;
} LIBRARY_LIST;

#define ARRAY_COUNT(a) (sizeof(a) / sizeof((a)[0]))
#define LIBRARY_LIST_OF(Array)                                                                                         \
  { (Array), ARRAY_COUNT(Array) }

// The list with no steps.
extern const LIBRARY_LIST gNoLibrarySteps;

// Constant data: every pointer in it is an address constant, so the descriptor is
// complete in the image file itself (define it constinit).
typedef struct {
  const LIBRARY_LIST *Initialisers;
  const LIBRARY_LIST *TearDowns;
  EFI_IMAGE_ENTRY_POINT DriverEntry;
  // Run the driver entry through the exit context (the SMM driver does).
  BOOLEAN UseExitContext;
  // 0: no firmware revision check.
  UINT32 MinimumRevision;
} IMAGE_DESCRIPTOR;

// Each image defines exactly one descriptor.
extern const IMAGE_DESCRIPTOR gImageDescriptor;

extern "C" EFI_STATUS EFIAPI ImageEntryPoint(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

// Walks a list in order; each step's status is discarded.
VOID RunLibrarySteps(const LIBRARY_LIST *List, EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
