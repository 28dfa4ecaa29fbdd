// The initialisers that set up state an image shares with the firmware and with other
// images, the tear-down steps that undo what they published, and the state they leave.
// Their own interfaces are in address_fixup.h, lock_box.h and s3_boot_script.h.
#pragma once

#include "runtime/uefi/system_table.h"

// Address fix-up registration (address_fixup.cpp; an SMM image has nothing to register
// with and carries address_fixup_smm.cpp without these two).
EFI_STATUS EFIAPI InitAddressFixup(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownAddressFixup(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

// The four PCD protocol pointers up front (gPcd and gPiPcd are the ones the PCD access
// looks up lazily, in runtime/base/pcd_protocols.h), converted at the change to virtual
// addressing in a runtime image outside SMM.
EFI_STATUS EFIAPI InitPcdProtocols(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownPcdProtocols(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
// The two PCD information protocols (the firmware's and EFI_GET_PCD_INFO_PROTOCOL): kept
// along with the two above, never called.
extern VOID *gPcdInfo;
extern VOID *gPiPcdInfo;
// The virtual-address-change event; exists only when created outside SMM for a runtime image.
extern EFI_EVENT gPcdVirtualAddressEvent;

// The SMRAM ranges of the access protocol, kept in SMRAM pool. They fill gSmramRanges and
// gSmramRangeCount (runtime/base/services.h), which the pool's free reads in every image.
EFI_STATUS EFIAPI InitSmramRanges(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownSmramRanges(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

// The S3 boot-script private record and its ready-to-lock work (s3_boot_script.h).
EFI_STATUS EFIAPI InitS3BootScript(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownS3BootScript(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

// Variable access from either side of SMM: outside SMM a second copy of the runtime
// services pointer, registered for conversion; inside SMM the SMM variable protocol.
EFI_STATUS EFIAPI InitSmmVariableAccess(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI TearDownSmmVariableAccess(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
extern EFI_RUNTIME_SERVICES *gVariableRuntimeServices;
extern VOID *gSmmVariable;

// The empty doubly linked list head that images share through a protocol.
typedef struct LIST_ENTRY {
  struct LIST_ENTRY *ForwardLink;
  struct LIST_ENTRY *BackLink;
} LIST_ENTRY;
EFI_LAYOUT_SIZE(LIST_ENTRY, 16);

EFI_STATUS EFIAPI InitSharedListHead(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
extern LIST_ENTRY *gSharedListHead;
