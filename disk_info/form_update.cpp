// Inserts op-codes into a form of an exported package list and hands the list back to
// the HII database. Nothing in the export is trusted: every length is checked against
// the package and the list that hold it.
#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

#define PACKAGE_LENGTH(Header) ((Header)&0x00FFFFFFu)
#define PACKAGE_TYPE(Header) ((UINT8)((Header) >> 24))

static UINT32 ReadUint32(const UINT8 *Bytes) {
  return (UINT32)Bytes[0] | ((UINT32)Bytes[1] << 8) | ((UINT32)Bytes[2] << 16) | ((UINT32)Bytes[3] << 24);
}
static VOID WriteUint32(UINT8 *Bytes, UINT32 Value) {
  Bytes[0] = (UINT8)Value;
  Bytes[1] = (UINT8)(Value >> 8);
  Bytes[2] = (UINT8)(Value >> 16);
  Bytes[3] = (UINT8)(Value >> 24);
}

EFI_STATUS RewriteFormsPackage(const UINT8 *Package, UINT32 PackageLength, UINT8 *Output, UINTN OutputSize,
                               const EFI_GUID *FormSetGuid, UINT16 FormId, const OpCodeHandle *Start,
                               UINT32 *OutputLength) {
  if (PackageLength < sizeof(EFI_HII_PACKAGE_HEADER) || Start == nullptr || Start->Position < 2) {
    return EFI_INVALID_PARAMETER;
  }
  UINTN AnchorLength = Start->Buffer[1] & 0x7F;
  if (AnchorLength < 2 || AnchorLength > Start->Position) {
    return EFI_INVALID_PARAMETER;
  }
  UINTN Inserted = Start->Position - AnchorLength;
  if (OutputSize < (UINTN)PackageLength + Inserted || (UINTN)PackageLength + Inserted > 0x00FFFFFFu) {
    return EFI_BUFFER_TOO_SMALL;
  }
  CopyMem(Output, Package, sizeof(EFI_HII_PACKAGE_HEADER));
  UINTN In = sizeof(EFI_HII_PACKAGE_HEADER);
  UINTN Out = sizeof(EFI_HII_PACKAGE_HEADER);
  BOOLEAN InFormSet = (FormSetGuid == nullptr) ? TRUE : FALSE;
  BOOLEAN InForm = FALSE;
  BOOLEAN Anchored = FALSE;
  while (In < PackageLength) {
    // An op-code needs its header inside the package, a length of at least that
    // header, and all of its bytes inside the package.
    if (PackageLength - In < sizeof(EFI_IFR_OP_HEADER)) {
      return EFI_VOLUME_CORRUPTED;
    }
    const UINT8 *OpCode = Package + In;
    UINTN Length = OpCode[1] & 0x7F;
    if (Length < sizeof(EFI_IFR_OP_HEADER) || Length > PackageLength - In) {
      return EFI_VOLUME_CORRUPTED;
    }
    if (OpCode[0] == EFI_IFR_FORM_SET_OP && FormSetGuid != nullptr && Length >= 2 + sizeof(EFI_GUID)) {
      InFormSet = CompareGuid((const EFI_GUID *)(OpCode + 2), FormSetGuid);
    }
    if ((OpCode[0] == EFI_IFR_FORM_OP || OpCode[0] == EFI_IFR_FORM_MAP_OP) && Length >= 4) {
      InForm = (InFormSet && (UINT16)(OpCode[2] | (OpCode[3] << 8)) == FormId) ? TRUE : FALSE;
    }
    CopyMem(Output + Out, OpCode, Length);
    Out += Length;
    In += Length;
    if (!Anchored && InForm && Length == AnchorLength && CompareMem(OpCode, Start->Buffer, Length) == 0) {
      CopyMem(Output + Out, Start->Buffer + AnchorLength, Inserted);
      Out += Inserted;
      Anchored = TRUE;
    }
  }
  if (!Anchored) {
    return EFI_NOT_FOUND;
  }
  WriteUint32(Output, (ReadUint32(Package) & 0xFF000000u) | (UINT32)Out);
  *OutputLength = (UINT32)Out;
  return EFI_SUCCESS;
}

// Counts the forms packages of a list whose every package lies inside it.
static EFI_STATUS CheckPackages(const UINT8 *List, UINT32 ListLength, UINTN *FormsPackages) {
  *FormsPackages = 0;
  UINTN Offset = sizeof(EFI_HII_PACKAGE_LIST_HEADER);
  while (Offset < ListLength) {
    if (ListLength - Offset < sizeof(EFI_HII_PACKAGE_HEADER)) {
      return EFI_VOLUME_CORRUPTED;
    }
    UINT32 Header = ReadUint32(List + Offset);
    UINT32 Length = PACKAGE_LENGTH(Header);
    if (Length < sizeof(EFI_HII_PACKAGE_HEADER) || Length > ListLength - Offset) {
      return EFI_VOLUME_CORRUPTED;
    }
    if (PACKAGE_TYPE(Header) == EFI_HII_PACKAGE_FORMS) {
      (*FormsPackages)++;
    }
    Offset += Length;
  }
  return EFI_SUCCESS;
}

static EFI_STATUS RewriteList(const UINT8 *List, UINT32 ListLength, UINT8 *NewList, UINTN NewSize, UINT8 *Work,
                              UINTN WorkSize, const EFI_GUID *FormSetGuid, UINT16 FormId, OpCodeHandle *Start) {
  CopyMem(NewList, List, sizeof(EFI_HII_PACKAGE_LIST_HEADER));
  UINTN In = sizeof(EFI_HII_PACKAGE_LIST_HEADER);
  UINTN Out = sizeof(EFI_HII_PACKAGE_LIST_HEADER);
  BOOLEAN Rewritten = FALSE;
  while (In < ListLength) {
    UINT32 Length = PACKAGE_LENGTH(ReadUint32(List + In));
    const UINT8 *Source = List + In;
    UINT32 OutLength = Length;
    if (PACKAGE_TYPE(ReadUint32(List + In)) == EFI_HII_PACKAGE_FORMS) {
      UINT32 RewrittenLength = 0;
      EFI_STATUS Status =
          RewriteFormsPackage(Source, Length, Work, WorkSize, FormSetGuid, FormId, Start, &RewrittenLength);
      if (Status == EFI_SUCCESS) {
        Source = Work;
        OutLength = RewrittenLength;
        Rewritten = TRUE;
      } else if (Status != EFI_NOT_FOUND) {
        return Status;
      }
    }
    if (NewSize - Out < OutLength) {
      return EFI_BUFFER_TOO_SMALL;
    }
    CopyMem(NewList + Out, Source, OutLength);
    Out += OutLength;
    In += Length;
  }
  if (!Rewritten) {
    return EFI_NOT_FOUND;
  }
  WriteUint32(NewList + 16, (UINT32)Out);
  return EFI_SUCCESS;
}

EFI_STATUS UpdateForm(EFI_HII_HANDLE HiiHandle, const EFI_GUID *FormSetGuid, UINT16 FormId, OpCodeHandle *Start) {
  EFI_HII_DATABASE_PROTOCOL *Database = (EFI_HII_DATABASE_PROTOCOL *)gHiiDatabase;
  if (Database == nullptr || Start == nullptr) {
    return EFI_NOT_FOUND;
  }
  UINTN Size = 0;
  EFI_STATUS Status = Database->ExportPackageLists(Database, HiiHandle, &Size, nullptr);
  if (Status != EFI_BUFFER_TOO_SMALL) {
    // An export that fits in no bytes holds no form: that is not an update done.
    return Status == EFI_SUCCESS ? EFI_NOT_FOUND : Status;
  }
  UINT8 *Exported = (UINT8 *)AllocatePool(Size);
  if (Exported == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  UINTN ExportedSize = Size;
  Status = Database->ExportPackageLists(Database, HiiHandle, &Size, (EFI_HII_PACKAGE_LIST_HEADER *)Exported);
  if (EFI_ERROR(Status)) {
    FreePool(Exported);
    return Status;
  }
  UINT32 ListLength = 0;
  UINTN FormsPackages = 0;
  if (Size > ExportedSize || Size < sizeof(EFI_HII_PACKAGE_LIST_HEADER)) {
    Status = EFI_VOLUME_CORRUPTED;
  } else {
    ListLength = ReadUint32(Exported + 16);
    Status = (ListLength < sizeof(EFI_HII_PACKAGE_LIST_HEADER) || ListLength > Size)
                 ? EFI_VOLUME_CORRUPTED
                 : CheckPackages(Exported, ListLength, &FormsPackages);
  }
  if (EFI_ERROR(Status)) {
    FreePool(Exported);
    return Status;
  }
  // Every forms package may receive the inserted op-codes, not just one.
  UINTN WorkSize = ListLength + Start->Position;
  UINTN NewSize = ListLength + Start->Position * (FormsPackages == 0 ? 1 : FormsPackages);
  UINT8 *NewList = (UINT8 *)AllocateZeroPool(NewSize);
  UINT8 *Work = (UINT8 *)AllocateZeroPool(WorkSize);
  if (NewList == nullptr || Work == nullptr) {
    Status = EFI_OUT_OF_RESOURCES;
  } else {
    Status = RewriteList(Exported, ListLength, NewList, NewSize, Work, WorkSize, FormSetGuid, FormId, Start);
    if (!EFI_ERROR(Status)) {
      Status = Database->UpdatePackageList(Database, HiiHandle, (EFI_HII_PACKAGE_LIST_HEADER *)NewList);
    }
  }
  if (NewList != nullptr) {
    FreePool(NewList);
  }
  if (Work != nullptr) {
    FreePool(Work);
  }
  FreePool(Exported);
  return Status;
}
