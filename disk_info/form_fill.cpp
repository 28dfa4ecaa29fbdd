// FillForm: the drives' text statements after the label 0xAE02 of form 1.
#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"
#include "runtime/print/format.h"
#include "runtime/uefi/status.h"

#define DISK_INFO_LABEL 0xAE02
#define IFR_LABEL_SIZE 21
#define DISK_INFO_FORM_ID 1

static CHAR16 mHddModelLabel[] = u"HDD Model Name: ";
static CHAR16 mHddSerialLabel[] = u"HDD Serial Number: ";
static CHAR16 mOddModelLabel[] = u"ODD Model Name: ";
static CHAR16 mHelpText[] = u" ";

static VOID AddLine(OpCodeHandle *Handle, CHAR16 *Line, const CHAR16 *Label, EFI_HII_HANDLE HiiHandle,
                    EFI_STRING_ID HelpId, const CHAR16 *Value) {
  FormatUcs2(Line, LINE_BUFFER_SIZE, Label);
  EFI_STRING_ID PromptId = NewHiiString(HiiHandle, Line);
  EFI_STRING_ID ValueId = NewHiiString(HiiHandle, Value);
  CreateTextOpCode(Handle, PromptId, HelpId, ValueId);
}

EFI_STATUS EFIAPI FillDiskInfoForm(DISK_INFO_FORM_PROTOCOL *This, UINT8 SlotCount, EFI_HII_HANDLE HiiHandle) {
  OpCodeHandle *Handle = NewOpCodeHandle();
  if (Handle == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  UINT8 *Label = CreateGuidOpCode(Handle, &gIfrLabelGuid, nullptr, IFR_LABEL_SIZE);
  if (Label == nullptr) {
    FreeOpCodeHandle(Handle);
    return EFI_OUT_OF_RESOURCES;
  }
  Label[18] = EFI_IFR_EXTEND_OP_LABEL;
  Label[19] = (UINT8)DISK_INFO_LABEL;
  Label[20] = (UINT8)(DISK_INFO_LABEL >> 8);
  EFI_STRING_ID HelpId = NewHiiString(HiiHandle, mHelpText);
  CHAR16 *Line = (CHAR16 *)AllocateZeroPool(LINE_BUFFER_SIZE);
  if (Line == nullptr) {
    FreeOpCodeHandle(Handle);
    return EFI_OUT_OF_RESOURCES;
  }
  UINT8 Lookup[DRIVE_STRINGS_SIZE];
  ZeroMem(Lookup, sizeof(Lookup));
  const CHAR16 *Serial = (const CHAR16 *)Lookup;
  const CHAR16 *Model = (const CHAR16 *)(Lookup + DRIVE_STRINGS_MODEL_OFFSET);

  for (UINTN Slot = 0; Slot < SlotCount; Slot++) {
    if (GetDriveStrings(This, Slot, DRIVE_KIND_NVME, Lookup) == EFI_SUCCESS) {
      AddLine(Handle, Line, mHddModelLabel, HiiHandle, HelpId, Model);
      AddLine(Handle, Line, mHddSerialLabel, HiiHandle, HelpId, Serial);
    }
  }
  // ATA slots are the rows of SataPortMap: a larger count stops at its last row.
  UINTN AtaSlots = SlotCount > SATA_PORT_MAP_ROWS ? SATA_PORT_MAP_ROWS : SlotCount;
  for (UINTN Slot = 0; Slot < AtaSlots; Slot++) {
    if (GetDriveStrings(This, Slot, DRIVE_KIND_ATA, Lookup) == EFI_SUCCESS) {
      AddLine(Handle, Line, mHddModelLabel, HiiHandle, HelpId, Model);
      AddLine(Handle, Line, mHddSerialLabel, HiiHandle, HelpId, Serial);
    }
  }
  EFI_STATUS Result = GetDriveStrings(This, 0, DRIVE_KIND_OPTICAL, Lookup);
  if (Result == EFI_SUCCESS) {
    AddLine(Handle, Line, mOddModelLabel, HiiHandle, HelpId, Model);
  }
  UpdateForm(HiiHandle, nullptr, DISK_INFO_FORM_ID, Handle);
  FreeOpCodeHandle(Handle);
  FreePool(Line);
  return Result;
}
