// At the DXE SMM ready-to-lock point the boot script is closed and saved in lock
// boxes, once, however often the notification fires.
#include "runtime/shared_state/lock_box.h"
#include "runtime/base/memory.h"
#include "runtime/shared_state/s3_boot_script.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

#define S3_PAGE_SIZE 4096ull

// The table, when there is one that can take the terminator; otherwise null, so the
// table's lock boxes are refused as they are without a table. Appending past the
// table's pages would overwrite whatever follows it.
static UINT8 *UsableTable(const S3_BOOT_SCRIPT_PRIVATE *Private) {
  if (Private->TableAddress == 0) {
    return nullptr;
  }
  UINT64 Capacity = (UINT64)Private->TablePages * S3_PAGE_SIZE;
  if ((UINT64)Private->BytesUsed + S3_BOOT_SCRIPT_TERMINATOR_SIZE > Capacity) {
    return nullptr;
  }
  return (UINT8 *)(UINTN)Private->TableAddress;
}

static VOID AppendTerminator(UINT8 *Table, UINT32 BytesUsed) {
  UINT8 Terminator[S3_BOOT_SCRIPT_TERMINATOR_SIZE] = {(UINT8)(S3_BOOT_SCRIPT_TERMINATOR_OPCODE & 0xFF),
                                                      (UINT8)(S3_BOOT_SCRIPT_TERMINATOR_OPCODE >> 8),
                                                      (UINT8)S3_BOOT_SCRIPT_TERMINATOR_SIZE};
  CopyMem(Table + BytesUsed, Terminator, sizeof(Terminator));
  UINT32 TotalLength = BytesUsed + S3_BOOT_SCRIPT_TERMINATOR_SIZE;
  CopyMem(Table + S3_BOOT_SCRIPT_TABLE_LENGTH_OFFSET, &TotalLength, sizeof(TotalLength));
}

VOID EFIAPI S3BootScriptReadyToLock(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  (void)Context;
  VOID *Interface = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiDxeSmmReadyToLockProtocolGuid, nullptr, &Interface))) {
    return;
  }
  S3_BOOT_SCRIPT_PRIVATE *Private = gS3BootScriptPrivate;
  if (Private == nullptr || Private->Closed != 0) {
    return;
  }
  UINT8 *Table = UsableTable(Private);
  if (Table != nullptr) {
    AppendTerminator(Table, Private->BytesUsed);
  }
  Private->Closed = 1;

  // Results are not checked: a box that could not be saved is the resume path's
  // concern, and nothing here can do better.
  SaveLockBox(&gS3ScriptTableLockBoxGuid, Table, (UINTN)Private->TablePages * S3_PAGE_SIZE);
  SetLockBoxAttributes(&gS3ScriptTableLockBoxGuid, LOCK_BOX_ATTRIBUTE_RESTORE_IN_PLACE);
  SaveLockBox(&gS3ScriptTableUsedLockBoxGuid, Table, (UINTN)Private->BytesUsed + S3_BOOT_SCRIPT_TERMINATOR_SIZE);
  // The first 8 bytes of the record: the table address.
  SaveLockBox(&gS3BootScriptPrivateLockBoxGuid, Private, sizeof(Private->TableAddress));
  SetLockBoxAttributes(&gS3BootScriptPrivateLockBoxGuid, LOCK_BOX_ATTRIBUTE_RESTORE_IN_PLACE);
}
