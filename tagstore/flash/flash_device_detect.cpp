// FlashDeviceDetect: the candidate chosen last is tried first, then the candidates that
// follow it in the table, and the generic SPI device as the last resort.
#include "runtime/base/pcd_access.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/flash/flash_selection.h"

// The ordinary walk steps over the generic device.
static UINTN NextCandidate(UINTN Token) {
  UINTN Next = PcdGetNextTokenEx(&gFlashDescriptorTokenSpaceGuid, Token);
  if (Next == FLASH_GENERIC_SPI_TOKEN) {
    Next = PcdGetNextTokenEx(&gFlashDescriptorTokenSpaceGuid, FLASH_GENERIC_SPI_TOKEN);
  }
  return Next;
}

VOID FlashDeviceDetect(VOID) {
  UINTN Token = PcdGet32ByToken(FLASH_PCD_TOKEN_CHOSEN);
  if (Token == 0) {
    Token = NextCandidate(0);
  }
  while (Token != 0) {
    if (!EFI_ERROR(FlashTryCandidate(Token))) {
      PcdSet32ByToken(FLASH_PCD_TOKEN_CHOSEN, (UINT32)Token);
      return;
    }
    Token = NextCandidate(Token);
  }
  FlashTryCandidate(FLASH_GENERIC_SPI_TOKEN);
  PcdSet32ByToken(FLASH_PCD_TOKEN_CHOSEN, FLASH_GENERIC_SPI_TOKEN);
}
