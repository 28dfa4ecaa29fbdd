#include "runtime/base/pcd_access.h"

#include "runtime/base/pcd_protocols.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

PCD_PROTOCOL *gPcd;
EFI_PCD_PROTOCOL *gPiPcd;

// Inside SMM the SMM protocol database is asked first; boot services only when that
// fails and nothing is cached yet.
static VOID *LocatePcdProtocol(EFI_GUID *Guid, VOID *Cached) {
  if (Cached != nullptr) {
    return Cached;
  }
  VOID *Interface = nullptr;
  if (gSmst != nullptr && !EFI_ERROR(gSmst->SmmLocateProtocol(Guid, nullptr, &Interface))) {
    return Interface;
  }
  Interface = nullptr;
  if (gBS == nullptr || EFI_ERROR(gBS->LocateProtocol(Guid, nullptr, &Interface))) {
    return nullptr;
  }
  return Interface;
}

static PCD_PROTOCOL *Pcd(VOID) {
  gPcd = (PCD_PROTOCOL *)LocatePcdProtocol(&gPcdProtocolGuid, gPcd);
  return gPcd;
}

static EFI_PCD_PROTOCOL *PiPcd(VOID) {
  gPiPcd = (EFI_PCD_PROTOCOL *)LocatePcdProtocol(&gEfiPcdProtocolGuid, gPiPcd);
  return gPiPcd;
}

UINT32 PcdGet32ByToken(UINTN TokenNumber) {
  PCD_PROTOCOL *Protocol = Pcd();
  return Protocol == nullptr ? 0 : Protocol->Get32(TokenNumber);
}

UINT32 PcdSet32ByToken(UINTN TokenNumber, UINT32 Value) {
  PCD_PROTOCOL *Protocol = Pcd();
  if (Protocol != nullptr) {
    Protocol->Set32(TokenNumber, Value);
  }
  return Value;
}

UINT64 PcdGet64Ex(const EFI_GUID *TokenSpace, UINTN TokenNumber) {
  EFI_PCD_PROTOCOL *Protocol = PiPcd();
  return Protocol == nullptr ? 0 : Protocol->Get64(TokenSpace, TokenNumber);
}

VOID *PcdGetPtrEx(const EFI_GUID *TokenSpace, UINTN TokenNumber) {
  EFI_PCD_PROTOCOL *Protocol = PiPcd();
  return Protocol == nullptr ? nullptr : Protocol->GetPtr(TokenSpace, TokenNumber);
}

UINTN PcdGetSizeEx(const EFI_GUID *TokenSpace, UINTN TokenNumber) {
  EFI_PCD_PROTOCOL *Protocol = PiPcd();
  return Protocol == nullptr ? 0 : Protocol->GetSize(TokenSpace, TokenNumber);
}

UINTN PcdGetNextTokenEx(const EFI_GUID *TokenSpace, UINTN TokenNumber) {
  EFI_PCD_PROTOCOL *Protocol = PiPcd();
  if (Protocol == nullptr || EFI_ERROR(Protocol->GetNextToken(TokenSpace, &TokenNumber))) {
    return 0;
  }
  return TokenNumber;
}

UINT64 PcdSet64Ex(const EFI_GUID *TokenSpace, UINTN TokenNumber, UINT64 Value) {
  EFI_PCD_PROTOCOL *Protocol = PiPcd();
  if (Protocol != nullptr) {
    Protocol->Set64(TokenSpace, TokenNumber, Value);
  }
  return Value;
}
