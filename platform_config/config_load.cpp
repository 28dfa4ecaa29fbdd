// Operation 1 of PlatformConfigProtocol.
#include "platform_config/operations.h"
#include "runtime/uefi/status.h"

// Interim: the configuration load is not built yet, so the operation answers
// EFI_UNSUPPORTED and touches nothing.
EFI_STATUS EFIAPI LoadPlatformConfig(PLATFORM_CONFIG_PROTOCOL *This, UINT8 *SetupConfig) {
  (void)This;
  (void)SetupConfig;
  return EFI_UNSUPPORTED;
}
