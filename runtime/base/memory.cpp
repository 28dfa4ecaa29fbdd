#include "runtime/base/memory.h"

#include "runtime/uefi/status.h"

VOID *CopyMem(VOID *Destination, const VOID *Source, UINTN Length) {
  UINT8 *To = (UINT8 *)Destination;
  const UINT8 *From = (const UINT8 *)Source;
  if (Length == 0 || To == From) {
    return Destination;
  }
  // Forward copy is safe unless the destination starts inside the source.
  if (From >= To || From + Length <= To) {
    while (Length >= 8) {
      UINT64 Word;
      __builtin_memcpy(&Word, From, 8);
      __builtin_memcpy(To, &Word, 8);
      To += 8;
      From += 8;
      Length -= 8;
    }
    while (Length-- != 0) {
      *To++ = *From++;
    }
  } else {
    while (Length-- != 0) {
      To[Length] = From[Length];
    }
  }
  return Destination;
}

VOID CopyBytes(VOID *Destination, const VOID *Source, UINTN Length) {
  UINT8 *To = (UINT8 *)Destination;
  const UINT8 *From = (const UINT8 *)Source;
  for (UINTN Index = 0; Index < Length; Index++) {
    To[Index] = From[Index];
  }
}

EFI_STATUS CopyBytesStatus(VOID *Destination, const VOID *Source, UINTN Length) {
  CopyBytes(Destination, Source, Length);
  return EFI_SUCCESS;
}

VOID *ZeroMem(VOID *Buffer, UINTN Length) {
  UINT8 *To = (UINT8 *)Buffer;
  const UINT64 Zero = 0;
  while (Length >= 8) {
    __builtin_memcpy(To, &Zero, 8);
    To += 8;
    Length -= 8;
  }
  while (Length-- != 0) {
    *To++ = 0;
  }
  return Buffer;
}

VOID *SetMem(VOID *Buffer, UINTN Length, UINT8 Value) {
  UINT8 *To = (UINT8 *)Buffer;
  for (UINTN Index = 0; Index < Length; Index++) {
    To[Index] = Value;
  }
  return Buffer;
}

INTN CompareMem(const VOID *A, const VOID *B, UINTN Length) {
  const UINT8 *Left = (const UINT8 *)A;
  const UINT8 *Right = (const UINT8 *)B;
  if (Length == 0 || Left == Right) {
    return 0;
  }
  for (UINTN Index = 0; Index < Length; Index++) {
    if (Left[Index] != Right[Index]) {
      return (INTN)Left[Index] - (INTN)Right[Index];
    }
  }
  return 0;
}

BOOLEAN CompareGuid(const EFI_GUID *A, const EFI_GUID *B) {
  UINT64 A0, A1, B0, B1;
  __builtin_memcpy(&A0, A, 8);
  __builtin_memcpy(&A1, (const UINT8 *)A + 8, 8);
  __builtin_memcpy(&B0, B, 8);
  __builtin_memcpy(&B1, (const UINT8 *)B + 8, 8);
  return (A0 == B0 && A1 == B1) ? TRUE : FALSE;
}

VOID CopyGuid(EFI_GUID *Destination, const EFI_GUID *Source) { CopyMem(Destination, Source, sizeof(EFI_GUID)); }

UINTN AsciiStrSize(const CHAR8 *String) {
  UINTN Size = 1;
  while (*String++ != 0) {
    Size++;
  }
  return Size;
}

UINTN StrLen(const CHAR16 *String) {
  UINTN Length = 0;
  while (String[Length] != 0) {
    Length++;
  }
  return Length;
}

VOID AsciiToUcs2(const CHAR8 *Source, CHAR16 *Destination) {
  while (*Source != 0) {
    *Destination++ = WidenSignExtended((UINT8)*Source++);
  }
  *Destination = 0;
}
