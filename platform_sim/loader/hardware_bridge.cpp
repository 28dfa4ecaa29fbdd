#include "platform_sim/loader/hardware_bridge.h"

#include "platform_sim/platform.h"

namespace sim {
namespace {

// Every access costs virtual time before the device sees it.
UINT64 EFIAPI IoRead(UINT16 port, UINT8 width) {
  Platform &platform = Platform::Current();
  platform.Processor().AdvanceNs(platform.Processor().Costs().portNs);
  return platform.Bus().IoRead(port, width);
}

VOID EFIAPI IoWrite(UINT16 port, UINT8 width, UINT64 value) {
  Platform &platform = Platform::Current();
  platform.Processor().AdvanceNs(platform.Processor().Costs().portNs);
  platform.Bus().IoWrite(port, width, value);
}

UINT64 EFIAPI MmioRead(UINT64 address, UINT8 width) {
  Platform &platform = Platform::Current();
  platform.Processor().AdvanceNs(platform.Processor().Costs().mmioNs);
  return platform.Bus().MmioRead(address, width);
}

VOID EFIAPI MmioWrite(UINT64 address, UINT8 width, UINT64 value) {
  Platform &platform = Platform::Current();
  platform.Processor().AdvanceNs(platform.Processor().Costs().mmioNs);
  platform.Bus().MmioWrite(address, width, value);
}

UINT64 EFIAPI ReadFlags() { return Platform::Current().Processor().Flags(); }

VOID EFIAPI SetInterruptFlag(BOOLEAN enabled) { Platform::Current().Processor().SetInterrupts(enabled != 0); }

UINT64 EFIAPI ReadTsc() { return Platform::Current().Processor().ReadTsc(); }

VOID EFIAPI Pause() { Platform::Current().Processor().Pause(); }

constexpr SIM_HARDWARE_PORT kPort = {IoRead, IoWrite, MmioRead, MmioWrite, ReadFlags, SetInterruptFlag, ReadTsc, Pause};

}  // namespace

const SIM_HARDWARE_PORT *HardwarePort() { return &kPort; }

}  // namespace sim
