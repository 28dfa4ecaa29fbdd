// Operation 0 of PlatformConfigProtocol.
#include "platform_config/operations.h"
#include "runtime/uefi/status.h"

// Interim: the setup policy update is not built yet, so the operation answers
// EFI_UNSUPPORTED and touches nothing. Its callers treat that as a failed update.
EFI_STATUS EFIAPI UpdateSetupPolicy(PLATFORM_CONFIG_PROTOCOL *This, UINT8 *SetupConfig) {
  (void)This;
  (void)SetupConfig;
  return EFI_UNSUPPORTED;
}
