// Operation 4 of PlatformConfigProtocol: kept for interface compatibility, does nothing.
#include "platform_config/operations.h"
#include "runtime/uefi/status.h"

EFI_STATUS EFIAPI ReservedOperation(PLATFORM_CONFIG_PROTOCOL *This, UINT64 Argument, UINT8 Selector) {
  (void)This;
  (void)Argument;
  (void)Selector;
  return EFI_UNSUPPORTED;
}
