// A new string in every language of a package list.
#include "disk_info/disk_info.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

EFI_STRING_ID NewHiiString(EFI_HII_HANDLE HiiHandle, const CHAR16 *Text) {
  EFI_HII_STRING_PROTOCOL *HiiString = (EFI_HII_STRING_PROTOCOL *)gHiiString;
  if (HiiString == nullptr) {
    return 0;
  }
  UINTN Size = 0;
  if (HiiString->GetLanguages(HiiString, HiiHandle, nullptr, &Size) != EFI_BUFFER_TOO_SMALL) {
    return 0;
  }
  // One more byte than reported keeps the list terminated whatever it holds.
  CHAR8 *Languages = (CHAR8 *)AllocateZeroPool(Size + 1);
  if (Languages == nullptr) {
    return 0;
  }
  EFI_STATUS Status = HiiString->GetLanguages(HiiString, HiiHandle, Languages, &Size);
  if (EFI_ERROR(Status)) {
    FreePool(Languages);
    return 0;
  }
  EFI_STRING_ID Id = 0;
  Status = EFI_NOT_FOUND;  // an empty list gives no string
  CHAR8 *Language = Languages;
  while (*Language != 0) {
    CHAR8 *End = Language;
    while (*End != 0 && *End != ';') {
      End++;
    }
    BOOLEAN Last = (*End == 0) ? TRUE : FALSE;
    *End = 0;
    if (Id == 0) {
      Status = HiiString->NewString(HiiString, HiiHandle, &Id, Language, nullptr, Text, nullptr);
    } else {
      Status = HiiString->SetString(HiiString, HiiHandle, Id, Language, Text, nullptr);
    }
    if (EFI_ERROR(Status) || Last) {
      break;
    }
    Language = End + 1;
  }
  FreePool(Languages);
  return EFI_ERROR(Status) ? 0 : Id;
}
