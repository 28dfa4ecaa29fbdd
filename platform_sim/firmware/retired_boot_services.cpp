// After ExitBootServices the boot services table still sits in memory, but the
// services are gone: every slot now records a fault and answers EFI_UNSUPPORTED.
// SMM code reaching for one at an SMI (when the operating system owns the machine) is
// what this catches.
#include <array>
#include <cstddef>
#include <string>
#include <utility>

#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

constexpr const char *kNames[] = {
    "RaiseTPL", "RestoreTPL", "AllocatePages", "FreePages", "GetMemoryMap", "AllocatePool", "FreePool",
    "CreateEvent", "SetTimer", "WaitForEvent", "SignalEvent", "CloseEvent", "CheckEvent",
    "InstallProtocolInterface", "ReinstallProtocolInterface", "UninstallProtocolInterface", "HandleProtocol",
    "Reserved", "RegisterProtocolNotify", "LocateHandle", "LocateDevicePath", "InstallConfigurationTable",
    "LoadImage", "StartImage", "Exit", "UnloadImage", "ExitBootServices", "GetNextMonotonicCount", "Stall",
    "SetWatchdogTimer", "ConnectController", "DisconnectController", "OpenProtocol", "CloseProtocol",
    "OpenProtocolInformation", "ProtocolsPerHandle", "LocateHandleBuffer", "LocateProtocol",
    "InstallMultipleProtocolInterfaces", "UninstallMultipleProtocolInterfaces", "CalculateCrc32", "CopyMem",
    "SetMem", "CreateEventEx"};
constexpr size_t kSlots = (sizeof(EFI_BOOT_SERVICES) - sizeof(EFI_TABLE_HEADER)) / sizeof(void *);
static_assert(std::size(kNames) == kSlots, "one name per boot service slot");

EFI_STATUS RetiredCall(size_t slot) {
  Platform::Current().Core().Smm().Fault(std::string("boot service ") + kNames[slot] +
                                         " called after the operating system took over");
  return EFI_UNSUPPORTED;
}

// The caller's arguments are left alone: the Microsoft convention has the caller clean up.
// One stub stands in for services of every signature, so it carries no function-type
// signature for the sanitizer to compare.
template <size_t Slot>
__attribute__((no_sanitize("function"))) EFI_STATUS EFIAPI Retired() {
  return RetiredCall(Slot);
}

template <size_t... Slots>
constexpr std::array<void *, kSlots> Stubs(std::index_sequence<Slots...>) {
  return {reinterpret_cast<void *>(&Retired<Slots>)...};
}

}  // namespace

void RetireBootServices(EFI_BOOT_SERVICES *table) {
  static const std::array<void *, kSlots> stubs = Stubs(std::make_index_sequence<kSlots>());
  auto *slots = reinterpret_cast<void **>(reinterpret_cast<uint8_t *>(table) + sizeof(EFI_TABLE_HEADER));
  for (size_t slot = 0; slot < kSlots; ++slot) slots[slot] = stubs[slot];
}

}  // namespace sim
