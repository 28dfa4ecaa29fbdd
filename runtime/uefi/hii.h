// HII String and HII Database protocols, package list and IFR encodings, from the UEFI
// specification (the members this platform's drivers and models use are typed; the
// others keep their place in the tables).
#pragma once

#include "runtime/uefi/types.h"

typedef VOID *EFI_HII_HANDLE;
typedef UINT16 EFI_STRING_ID;

#pragma pack(push, 1)
typedef struct {
  EFI_GUID PackageListGuid;
  UINT32 PackageLength;
} EFI_HII_PACKAGE_LIST_HEADER;

// Length in bits 0-23, type in bits 24-31.
typedef struct {
  UINT32 LengthAndType;
} EFI_HII_PACKAGE_HEADER;

typedef struct {
  EFI_HII_PACKAGE_HEADER Header;
  UINT32 HdrSize;
  UINT32 StringInfoOffset;
  CHAR16 LanguageWindow[16];
  EFI_STRING_ID LanguageName;
  CHAR8 Language[1];  // NUL-terminated, variable length
} EFI_HII_STRING_PACKAGE_HDR;

typedef struct {
  UINT8 OpCode;
  UINT8 LengthAndScope;  // length in bits 0-6, scope in bit 7
} EFI_IFR_OP_HEADER;
#pragma pack(pop)
EFI_LAYOUT_SIZE(EFI_HII_PACKAGE_LIST_HEADER, 20);
EFI_LAYOUT_OFFSET(EFI_HII_STRING_PACKAGE_HDR, Language, 46);

#define EFI_HII_PACKAGE_FORMS 0x02
#define EFI_HII_PACKAGE_STRINGS 0x04
#define EFI_HII_PACKAGE_END 0xDF

#define EFI_HII_SIBT_END 0x00
#define EFI_HII_SIBT_STRING_UCS2 0x14
#define EFI_HII_SIBT_SKIP2 0x21
#define EFI_HII_SIBT_SKIP1 0x22

#define EFI_IFR_FORM_OP 0x01
#define EFI_IFR_SUBTITLE_OP 0x02
#define EFI_IFR_TEXT_OP 0x03
#define EFI_IFR_FORM_SET_OP 0x0E
#define EFI_IFR_END_OP 0x29
#define EFI_IFR_FORM_MAP_OP 0x5D
#define EFI_IFR_GUID_OP 0x5F
#define EFI_IFR_EXTEND_OP_LABEL 0x00

inline EFI_GUID gIfrLabelGuid = {0x0F0B1735, 0x87A0, 0x4193, {0xB2, 0x66, 0x53, 0x8C, 0x38, 0xAF, 0x48, 0xCE}};

typedef struct EFI_HII_STRING_PROTOCOL EFI_HII_STRING_PROTOCOL;
struct EFI_HII_STRING_PROTOCOL {
  EFI_STATUS(EFIAPI *NewString)
  (const EFI_HII_STRING_PROTOCOL *This, EFI_HII_HANDLE PackageList, EFI_STRING_ID *StringId, const CHAR8 *Language,
   const CHAR16 *LanguageName, const CHAR16 *String, const VOID *StringFontInfo);
  EFI_STATUS(EFIAPI *GetString)
  (const EFI_HII_STRING_PROTOCOL *This, const CHAR8 *Language, EFI_HII_HANDLE PackageList, EFI_STRING_ID StringId,
   CHAR16 *String, UINTN *StringSize, VOID **StringFontInfo);
  EFI_STATUS(EFIAPI *SetString)
  (const EFI_HII_STRING_PROTOCOL *This, EFI_HII_HANDLE PackageList, EFI_STRING_ID StringId, const CHAR8 *Language,
   const CHAR16 *String, const VOID *StringFontInfo);
  EFI_STATUS(EFIAPI *GetLanguages)
  (const EFI_HII_STRING_PROTOCOL *This, EFI_HII_HANDLE PackageList, CHAR8 *Languages, UINTN *LanguagesSize);
  VOID *GetSecondaryLanguages;
};

typedef struct EFI_HII_DATABASE_PROTOCOL EFI_HII_DATABASE_PROTOCOL;
struct EFI_HII_DATABASE_PROTOCOL {
  EFI_STATUS(EFIAPI *NewPackageList)
  (const EFI_HII_DATABASE_PROTOCOL *This, const EFI_HII_PACKAGE_LIST_HEADER *PackageList, EFI_HANDLE DriverHandle,
   EFI_HII_HANDLE *Handle);
  EFI_STATUS(EFIAPI *RemovePackageList)(const EFI_HII_DATABASE_PROTOCOL *This, EFI_HII_HANDLE Handle);
  EFI_STATUS(EFIAPI *UpdatePackageList)
  (const EFI_HII_DATABASE_PROTOCOL *This, EFI_HII_HANDLE Handle, const EFI_HII_PACKAGE_LIST_HEADER *PackageList);
  VOID *ListPackageLists;
  EFI_STATUS(EFIAPI *ExportPackageLists)
  (const EFI_HII_DATABASE_PROTOCOL *This, EFI_HII_HANDLE Handle, UINTN *BufferSize,
   EFI_HII_PACKAGE_LIST_HEADER *Buffer);
  VOID *RegisterPackageNotify;
  VOID *UnregisterPackageNotify;
  VOID *FindKeyboardLayouts;
  VOID *GetKeyboardLayout;
  VOID *SetKeyboardLayout;
  VOID *GetPackageListHandle;
};
EFI_LAYOUT_OFFSET(EFI_HII_DATABASE_PROTOCOL, ExportPackageLists, 32);
