#include "platform_sim/firmware/flash_access.h"

#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

EFI_STATUS EFIAPI ReadFlash(FLASH_ACCESS_PROTOCOL *, VOID *buffer, UINT64 address, UINTN size) {
  Platform &platform = Platform::Current();
  if (buffer == nullptr || size == 0 || address > 0x100000000ull || size > 0x100000000ull - address) {
    return EFI_INVALID_PARAMETER;
  }
  if (platform.Profile().flashAccessFails) return EFI_DEVICE_ERROR;
  std::optional<EFI_STATUS> answer = platform.Profile().flashAccessStatus;
  // An error stops before the read; success or a warning comes with the bytes.
  if (answer && EFI_ERROR(*answer)) return *answer;
  auto *bytes = static_cast<UINT8 *>(buffer);
  for (UINTN index = 0; index < size; ++index) {
    bytes[index] = static_cast<UINT8>(platform.Bus().MmioRead(address + index, 1));
  }
  return answer.value_or(EFI_SUCCESS);
}

}  // namespace

FLASH_ACCESS_PROTOCOL *BuildFlashAccessProtocol(Arena &arena) {
  auto *protocol = arena.NewFirmware<FLASH_ACCESS_PROTOCOL>();
  protocol->ReadFlash = ReadFlash;
  return protocol;
}

}  // namespace sim
