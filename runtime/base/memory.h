// Memory, GUID and string routines shared by every image. All are pure byte loops: they
// cannot fail, do not block, and trust the caller for every pointer and length (each
// buffer valid for the length given, each string terminated).
#pragma once

#include "runtime/uefi/types.h"

// Overlap-safe copy; returns Destination.
VOID *CopyMem(VOID *Destination, const VOID *Source, UINTN Length);
// Forward byte copy without overlap handling (the ranges must not overlap), and its
// wrapper for tables of status-returning steps (always EFI_SUCCESS).
VOID CopyBytes(VOID *Destination, const VOID *Source, UINTN Length);
EFI_STATUS CopyBytesStatus(VOID *Destination, const VOID *Source, UINTN Length);
VOID *ZeroMem(VOID *Buffer, UINTN Length);
VOID *SetMem(VOID *Buffer, UINTN Length, UINT8 Value);
// Difference of the first differing bytes (as unsigned values); 0 when equal.
INTN CompareMem(const VOID *A, const VOID *B, UINTN Length);

BOOLEAN CompareGuid(const EFI_GUID *A, const EFI_GUID *B);
VOID CopyGuid(EFI_GUID *Destination, const EFI_GUID *Source);

// Size of an ASCII string including its NUL.
UINTN AsciiStrSize(const CHAR8 *String);
// Characters of a UCS-2 string before its NUL.
UINTN StrLen(const CHAR16 *String);
// Widens one byte to a UCS-2 unit, sign-extended, as the platform's tools always did.
static inline CHAR16 WidenSignExtended(UINT8 Byte) { return (CHAR16)(INT16)(INT8)Byte; }
// Widens each byte (WidenSignExtended) and terminates.
// The caller provides room for the string and its terminator.
VOID AsciiToUcs2(const CHAR8 *Source, CHAR16 *Destination);
