#include "platform_sim/flash/flash_protocols.h"

#include <cstdio>

#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/flash_protocols.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

// The region service reports at Complete what went wrong since the last Complete.
struct RegionFlashInstance {
  REGION_FLASH_PROTOCOL protocol;
  EFI_STATUS pending;
};

SpiController &Spi() { return *Platform::Current().Flash().Spi(); }
FlashMonitor &Monitor() { return Platform::Current().Flash().Monitor(); }

std::string Operation(const char *name, uint64_t linear, uint64_t length) {
  char text[96];
  std::snprintf(text, sizeof(text), "%s linear 0x%08llX, %llu bytes (at 0x%08llX)", name,
                static_cast<unsigned long long>(linear), static_cast<unsigned long long>(length),
                static_cast<unsigned long long>(Spi().MemoryAddress(linear)));
  return text;
}

EFI_STATUS Finish(size_t note, EFI_STATUS status) {
  if (status != EFI_SUCCESS) Monitor().NoteOutcome(note, StatusText(status));
  return status;
}

EFI_STATUS EFIAPI SpiWrite(CHIPSET_SPI_PROTOCOL *, UINT32 region, UINT32 address, UINT32 count, UINT8 *buffer) {
  if (region != CHIPSET_SPI_REGION_ALL) return EFI_INVALID_PARAMETER;
  size_t note = Monitor().Note(Operation("ChipsetSpi Write", address, count), Spi().MemoryAddress(address));
  return Finish(note, Spi().Write(address, buffer, count));
}

EFI_STATUS EFIAPI SpiErase(CHIPSET_SPI_PROTOCOL *, UINT32 region, UINT32 address, UINT32 count) {
  if (region != CHIPSET_SPI_REGION_ALL) return EFI_INVALID_PARAMETER;
  size_t note = Monitor().Note(Operation("ChipsetSpi Erase", address, count), Spi().MemoryAddress(address));
  return Finish(note, Spi().Erase(address, count));
}

EFI_STATUS EFIAPI SpiReadSfdp(CHIPSET_SPI_PROTOCOL *, UINT8 component, UINT32 address, UINT32 count, UINT8 *data) {
  return Spi().ReadSfdp(component, address, count, data);
}

EFI_STATUS EFIAPI SpiReadJedecId(CHIPSET_SPI_PROTOCOL *, UINT8 component, UINT32 count, UINT8 *id) {
  return Spi().ReadJedecId(component, count, id);
}

// Region offsets are from the start of the BIOS region, which ends at the top of the flash.
bool RegionRange(uint64_t offset, uint64_t length) {
  return offset <= Spi().BiosRegionSize() && length <= Spi().BiosRegionSize() - offset;
}

uint64_t RegionMemoryAddress(uint32_t offset) { return Spi().MemoryAddress(Spi().BiosRegionBase() + offset); }

std::string RegionOperation(const char *name, uint32_t offset, uint64_t length) {
  char text[96];
  std::snprintf(text, sizeof(text), "RegionFlash %s offset 0x%06X, %llu bytes (at 0x%08llX)", name, offset,
                static_cast<unsigned long long>(length), static_cast<unsigned long long>(RegionMemoryAddress(offset)));
  return text;
}

EFI_STATUS EFIAPI RegionWrite(REGION_FLASH_PROTOCOL *self, UINT32 offset, UINT32 size, UINT8 *data) {
  auto *instance = reinterpret_cast<RegionFlashInstance *>(self);
  size_t note = Monitor().Note(RegionOperation("Write", offset, size), RegionMemoryAddress(offset));
  EFI_STATUS status =
      RegionRange(offset, size) ? Spi().Write(Spi().BiosRegionBase() + offset, data, size) : EFI_INVALID_PARAMETER;
  if (status != EFI_SUCCESS && instance->pending == EFI_SUCCESS) instance->pending = status;
  return Finish(note, status);
}

EFI_STATUS EFIAPI RegionEraseBlock(REGION_FLASH_PROTOCOL *self, UINT32 offset) {
  auto *instance = reinterpret_cast<RegionFlashInstance *>(self);
  size_t note = Monitor().Note(RegionOperation("EraseBlock", offset, 0x1000), RegionMemoryAddress(offset));
  // The block that holds the offset, wherever in the block the offset lies.
  EFI_STATUS status = RegionRange(offset & ~0xFFFu, 0x1000)
                          ? Spi().Erase(Spi().BiosRegionBase() + (offset & ~0xFFFu), 0x1000)
                          : EFI_INVALID_PARAMETER;
  if (status != EFI_SUCCESS && instance->pending == EFI_SUCCESS) instance->pending = status;
  return Finish(note, status);
}

EFI_STATUS EFIAPI RegionComplete(REGION_FLASH_PROTOCOL *self, UINT32) {
  auto *instance = reinterpret_cast<RegionFlashInstance *>(self);
  EFI_STATUS status = instance->pending;
  instance->pending = EFI_SUCCESS;
  Finish(Monitor().Note("RegionFlash Complete", 0), status);
  return status;
}

CHIPSET_SPI_PROTOCOL *BuildChipsetSpi(Arena &arena, Region region) {
  // A runtime driver keeps this interface past the change to virtual addressing; the SMM
  // instance lives in SMRAM.
  auto *protocol = arena.NewFirmware<CHIPSET_SPI_PROTOCOL>(EfiRuntimeServicesData, region);
  protocol->Write = SpiWrite;
  protocol->Erase = SpiErase;
  protocol->ReadSfdp = SpiReadSfdp;
  protocol->ReadJedecId = SpiReadJedecId;
  return protocol;
}

}  // namespace

void InstallFlashProtocols(Platform &platform, FirmwareCore &core, const PlatformProfile &profile) {
  if (platform.Flash().Spi() == nullptr) return;
  ActorScope actor(platform, "platform");
  const FlashProfile &flash = profile.flash;
  if (flash.chipsetSpi) core.InstallProtocol(gChipsetSpiProtocolGuid, BuildChipsetSpi(core.Memory(), Region::Normal));
  if (flash.chipsetSpiSmm) {
    EFI_HANDLE handle = nullptr;
    core.SmmProtocols().Install(&handle, gChipsetSmmSpiProtocolGuid, BuildChipsetSpi(core.Memory(), Region::Smram),
                                "platform");
  }
  if (flash.regionFlashSmm) {
    auto *instance = core.Memory().NewSmmFirmware<RegionFlashInstance>();
    instance->protocol = {RegionWrite, RegionEraseBlock, RegionComplete};
    instance->pending = EFI_SUCCESS;
    EFI_HANDLE handle = nullptr;
    core.SmmProtocols().Install(&handle, gRegionFlashProtocolGuid, instance, "platform");
  }
}

}  // namespace sim
