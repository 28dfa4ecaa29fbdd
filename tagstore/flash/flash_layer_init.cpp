// FlashLayerInit: the SPI controller's descriptor gives the flash size and so where the
// BIOS region sits in it; then the SPI flash protocols are bound.
#include "runtime/base/cpu.h"
#include "runtime/base/image_kind.h"
#include "runtime/base/pci_express.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_layer.h"
#include "tagstore/flash/flash_layer_state.h"

#define SPI_BUS 0
#define SPI_DEVICE 31
#define SPI_FUNCTION 5
#define SPI_BAR_OFFSET 0x10
#define SPI_BAR_MASK 0xFFFFF000u
#define SPI_DESCRIPTOR_SELECTOR 0xB4
#define SPI_DESCRIPTOR_DATA 0xB8
#define SPI_SELECTOR_KEEP_MASK 0xFFFF8003u
#define SPI_SELECT_MAP_INDEX_4 0x4u
#define SPI_SELECT_COMPONENT 0x1000u
#define FLASH_DENSITY_UNIT 0x80000ull

static UINT32 ReadDescriptor32(UINT32 Selector) {
  MmioAndThenOr32(gSpiBar + SPI_DESCRIPTOR_SELECTOR, SPI_SELECTOR_KEEP_MASK, Selector);
  return MmioRead32(gSpiBar + SPI_DESCRIPTOR_DATA);
}

// Leaves the layout unknown when the descriptor cannot be read or believed: then nobody
// can say where the BIOS region lies in the flash, and the SPI path refuses linear addresses.
static VOID MeasureFlash(VOID) {
  UINT32 Bar = MmioRead32(PciExpressAddress(SPI_BUS, SPI_DEVICE, SPI_FUNCTION) + SPI_BAR_OFFSET);
  // Without a controller the BAR reads all ones; its "registers" would then fall inside
  // the memory-mapped flash itself, so they are left alone.
  if (Bar == 0xFFFFFFFFu || (Bar & SPI_BAR_MASK) == 0) {
    return;
  }
  gSpiBar = Bar & SPI_BAR_MASK;

  MmioAndThenOr32(gSpiBar + SPI_DESCRIPTOR_SELECTOR, SPI_SELECTOR_KEEP_MASK, SPI_SELECT_MAP_INDEX_4);
  gFlashComponentField = (MmioRead16(gSpiBar + SPI_DESCRIPTOR_DATA) >> 8) & 0x3;

  UINT32 Densities = ReadDescriptor32(SPI_SELECT_COMPONENT);
  UINT64 Total = FLASH_DENSITY_UNIT << (Densities & 0xF);
  if (gFlashComponentField == 1) {
    Total += FLASH_DENSITY_UNIT << ((Densities >> 4) & 0xF);
  }
  // A flash smaller than the BIOS region cannot hold it: the descriptor is not believed.
  if (Total < gBiosSize) {
    return;
  }
  gFlashTotalSize = Total;
  gBiosLinearOffset = Total - gBiosSize;
  gFlashLayout = FLASH_LAYOUT_KNOWN;
}

static VOID MarkBiosRangeRuntime(VOID) {
  if (gDS == nullptr) {
    return;
  }
  EFI_PHYSICAL_ADDRESS Base = gBiosBase & ~(EFI_PHYSICAL_ADDRESS)0xFFF;
  EFI_GCD_MEMORY_SPACE_DESCRIPTOR Descriptor;
  if (EFI_ERROR(gDS->GetMemorySpaceDescriptor(Base, &Descriptor))) {
    return;
  }
  UINT64 Length = ((UINT64)gBiosSize + 0xFFF) & ~(UINT64)0xFFF;
  gDS->SetMemorySpaceAttributes(Base, Length, Descriptor.Attributes | EFI_MEMORY_RUNTIME);
}

static VOID BindProtocols(VOID) {
  if (InsideSmm(nullptr)) {
    if (gSmst == nullptr) {
      return;
    }
    if (EFI_ERROR(gSmst->SmmLocateProtocol(&gChipsetSmmSpiProtocolGuid, nullptr, (VOID **)&gChipsetSpi))) {
      gChipsetSpi = nullptr;
    }
    if (EFI_ERROR(gSmst->SmmLocateProtocol(&gRegionFlashProtocolGuid, nullptr, (VOID **)&gRegionFlash))) {
      gRegionFlash = nullptr;
    }
    return;
  }
  MarkBiosRangeRuntime();
  if (gBS == nullptr || EFI_ERROR(gBS->LocateProtocol(&gChipsetSpiProtocolGuid, nullptr, (VOID **)&gChipsetSpi))) {
    gChipsetSpi = nullptr;
  }
}

EFI_STATUS FlashLayerInit(VOID) {
  gSpiBar = 0;
  gFlashComponentField = 0;
  gFlashLayout = FLASH_LAYOUT_UNKNOWN;
  gFlashTotalSize = 0;
  gBiosLinearOffset = 0;
  gChipsetSpi = nullptr;
  gRegionFlash = nullptr;
  gCurrentFlashContext = nullptr;
  gBiosBase = FLASH_BIOS_BASE;
  gBiosSize = FLASH_BIOS_SIZE;
  MeasureFlash();
  BindProtocols();
  return EFI_SUCCESS;
}
