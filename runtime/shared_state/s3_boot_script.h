// The S3 boot-script private record that every image carrying the S3 initialiser
// shares through dynamic PCD 0x30000, and its lock-box work at the ready-to-lock point.
#pragma once

#include "runtime/uefi/types.h"

#define S3_BOOT_SCRIPT_PRIVATE_PCD 0x30000u
// The table ends with this entry: a UINT16 opcode and a UINT8 length.
#define S3_BOOT_SCRIPT_TERMINATOR_OPCODE 0x00FFu
#define S3_BOOT_SCRIPT_TERMINATOR_SIZE 3u
// The table's own UINT32 total-length field.
#define S3_BOOT_SCRIPT_TABLE_LENGTH_OFFSET 5u

#pragma pack(push, 1)
typedef struct {
  UINT64 TableAddress;  // 0 until an image creates the script table
  UINT32 BytesUsed;
  UINT16 TablePages;
  UINT8 Closed;
  UINT8 SmmReserved;
} S3_BOOT_SCRIPT_PRIVATE;
#pragma pack(pop)
EFI_LAYOUT_OFFSET(S3_BOOT_SCRIPT_PRIVATE, BytesUsed, 8);
EFI_LAYOUT_OFFSET(S3_BOOT_SCRIPT_PRIVATE, TablePages, 12);
EFI_LAYOUT_OFFSET(S3_BOOT_SCRIPT_PRIVATE, Closed, 14);
EFI_LAYOUT_OFFSET(S3_BOOT_SCRIPT_PRIVATE, SmmReserved, 15);
EFI_LAYOUT_SIZE(S3_BOOT_SCRIPT_PRIVATE, 16);

extern S3_BOOT_SCRIPT_PRIVATE *gS3BootScriptPrivate;
// Exists only in the image that created the record.
extern EFI_EVENT gS3ReadyToLockEvent;

VOID EFIAPI S3BootScriptReadyToLock(EFI_EVENT Event, VOID *Context);
