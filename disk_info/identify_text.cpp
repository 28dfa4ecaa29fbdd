// Model and serial texts cut from ATA IDENTIFY and NVMe Identify Controller data.
// The rules keep what the drive reported, odd or not: the byte swap stops at the first
// pair holding a zero byte, and NVMe texts keep their padding.
#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"
#include "runtime/uefi/status.h"

#define ATA_SERIAL_OFFSET 20
#define ATA_SERIAL_LENGTH 20
#define ATA_MODEL_OFFSET 54
#define ATA_MODEL_LENGTH 40
#define NVME_SERIAL_OFFSET 4
#define NVME_SERIAL_LENGTH 20
#define NVME_MODEL_OFFSET 24
#define NVME_MODEL_LENGTH 40
#define EXTRACT_SCRATCH_SIZE 256

EFI_STATUS ExtractIdentifyString(const UINT8 *IdentifyData, UINTN FieldSelector, CHAR16 *Destination) {
  // The scratch lives on the stack: a text field is at most 40 bytes, and a lookup then
  // has no allocation that could fail half-way.
  CHAR8 Scratch[EXTRACT_SCRATCH_SIZE];
  ZeroMem(Scratch, sizeof(Scratch));
  if (FieldSelector == 1) {
    CopyMem(Scratch, IdentifyData + ATA_MODEL_OFFSET, ATA_MODEL_LENGTH);
  } else {
    CopyMem(Scratch, IdentifyData + ATA_SERIAL_OFFSET, ATA_SERIAL_LENGTH);
  }
  // ATA strings hold the first character of each word in its high byte.
  for (UINTN Index = 0; Index + 1 < sizeof(Scratch); Index += 2) {
    if (Scratch[Index] == 0 || Scratch[Index + 1] == 0) {
      break;
    }
    CHAR8 First = Scratch[Index];
    Scratch[Index] = Scratch[Index + 1];
    Scratch[Index + 1] = First;
  }
  const CHAR8 *Text = Scratch;
  if (FieldSelector != 1) {
    while (*Text == ' ') {
      Text++;
    }
  }
  AsciiToUcs2(Text, Destination);
  return EFI_SUCCESS;
}

VOID TrimBlanks(CHAR16 *Text) {
  if (Text == nullptr) {
    return;
  }
  UINTN Length = StrLen(Text);
  UINTN First = 0;
  while (First < Length && Text[First] == u' ') {
    First++;
  }
  UINTN End = Length;  // one past the last unit that is not a blank
  while (End > First && Text[End - 1] == u' ') {
    End--;
  }
  UINTN Kept = End - First;
  for (UINTN Index = 0; Index < Kept; Index++) {
    Text[Index] = Text[First + Index];
  }
  for (UINTN Index = Kept; Index <= Length; Index++) {
    Text[Index] = 0;
  }
}

VOID SanitizeText(CHAR16 *Text) {
  if (Text == nullptr) {
    return;
  }
  for (; *Text != 0; Text++) {
    if (*Text < 0x21 || *Text > 0x7E) {
      *Text = u' ';
    }
  }
}

VOID AtaTextRule(const UINT8 *IdentifyData, UINTN FieldSelector, CHAR16 *Destination) {
  ExtractIdentifyString(IdentifyData, FieldSelector, Destination);
  TrimBlanks(Destination);
  SanitizeText(Destination);
}

VOID NvmeTextRule(const UINT8 *IdentifyController, NvmeDriveRecord *Record) {
  CHAR8 Model[NVME_MODEL_LENGTH + 1];
  CHAR8 Serial[NVME_SERIAL_LENGTH + 1];
  ZeroMem(Model, sizeof(Model));
  ZeroMem(Serial, sizeof(Serial));
  CopyMem(Model, IdentifyController + NVME_MODEL_OFFSET, NVME_MODEL_LENGTH);
  CopyMem(Serial, IdentifyController + NVME_SERIAL_OFFSET, NVME_SERIAL_LENGTH);
  AsciiToUcs2(Model, Record->ModelName);
  AsciiToUcs2(Serial, Record->SerialNumber);
}
