#include "platform_sim/flash/spi_controller.h"

#include <algorithm>
#include <cstring>

#include "runtime/uefi/status.h"

namespace sim {

namespace {
uint32_t DescriptorKey(uint32_t section, uint32_t index) { return (section << 10) | index; }
}  // namespace

SpiController::SpiController(const FlashProfile &profile, FlashMonitor &monitor)
    : spiBar_(profile.spiBar), barAllOnes_(profile.spiBarAllOnes), biosRegionSize_(profile.biosRegionSize) {
  uint32_t densities = 0;
  for (size_t index = 0; index < profile.components.size() && index < 2; ++index) {
    const SpiComponentProfile &component = profile.components[index];
    uint64_t bytes = 0x80000ull << component.densityCode;
    components_.push_back(
        std::make_unique<SpiNorFlash>(bytes, component.jedecId, component.sfdp, monitor, profile.timings));
    size_ += bytes;
    densities |= static_cast<uint32_t>(component.densityCode & 0xF) << (4 * index);
  }
  uint32_t componentField = components_.size() > 1 ? 1 : 0;
  descriptor_[DescriptorKey(0, 0)] = kDescriptorSignature;
  // FLMAP0: component section at 0x30, region section at 0x40, components - 1 in bits 9:8.
  descriptor_[DescriptorKey(0, 1)] = 0x04040003u | (componentField << 8);
  // FLCOMP: the densities, fast read supported.
  descriptor_[DescriptorKey(1, 0)] = densities | (1u << 20);
  if (biosRegionSize_ > size_) biosRegionSize_ = size_;
}

void SpiController::Attach(AddressMap &bus, PciExpressSpace &pci) {
  PciFunction &function = pci.Add(0, 31, 5, kVendorId, kDeviceId);
  function.Set(0x04, 2, 0x0006);      // memory space and bus master enabled
  function.Set(0x08, 4, 0x0C801000);  // serial bus controller, revision 0
  if (barAllOnes_) {
    function.Set(0x10, 4, 0xFFFFFFFF);
    return;
  }
  function.Set(0x10, 4, spiBar_);
  bus.ClaimMmio(spiBar_, kRegisterSize, this);
}

std::pair<SpiNorFlash *, uint64_t> SpiController::Locate(uint64_t linear) const {
  for (const auto &component : components_) {
    if (linear < component->Array().Size()) return {component.get(), linear};
    linear -= component->Array().Size();
  }
  return {nullptr, 0};
}

uint8_t SpiController::Peek(uint64_t linear) const {
  auto [part, offset] = Locate(linear);
  return part == nullptr ? 0xFF : part->Array().Get(offset);
}

std::vector<uint8_t> SpiController::PeekRange(uint64_t linear, uint64_t length) const {
  std::vector<uint8_t> bytes;
  bytes.reserve(length);
  while (bytes.size() < length) {
    auto [part, offset] = Locate(linear + bytes.size());
    if (part == nullptr) {
      bytes.resize(length, 0xFF);
      break;
    }
    const uint64_t count = std::min<uint64_t>(length - bytes.size(), part->Array().Size() - offset);
    const std::vector<uint8_t> run = part->Array().Read(offset, count);
    bytes.insert(bytes.end(), run.begin(), run.end());
  }
  return bytes;
}

void SpiController::Load(uint64_t linear, const std::vector<uint8_t> &data) {
  // A run of bytes per component: a whole part's image loads in one copy.
  size_t index = 0;
  while (index < data.size()) {
    auto [part, offset] = Locate(linear + index);
    if (part == nullptr) return;
    size_t run = static_cast<size_t>(std::min<uint64_t>(part->Array().Size() - offset, data.size() - index));
    part->Array().Load(offset, std::vector<uint8_t>(data.begin() + static_cast<long>(index),
                                                    data.begin() + static_cast<long>(index + run)));
    index += run;
  }
}

// A range that does not start or end on a sector boundary erases every sector it
// touches: the sector holding the address is erased whole, as the protocols promise.
EFI_STATUS SpiController::Erase(uint64_t linear, uint64_t length) {
  if (linear > size_ || length > size_ - linear) return EFI_INVALID_PARAMETER;
  uint64_t start = linear & ~(SpiNorFlash::kSectorSize - 1);
  uint64_t end = (linear + length + SpiNorFlash::kSectorSize - 1) & ~(SpiNorFlash::kSectorSize - 1);
  for (uint64_t sector = start; sector < end; sector += SpiNorFlash::kSectorSize) {
    auto [part, offset] = Locate(sector);
    if (!part->EraseSector(offset, MemoryAddress(sector))) return EFI_DEVICE_ERROR;
  }
  return EFI_SUCCESS;
}

EFI_STATUS SpiController::Write(uint64_t linear, const uint8_t *data, uint64_t length) {
  if (linear > size_ || length > size_ - linear || (length != 0 && data == nullptr)) return EFI_INVALID_PARAMETER;
  uint64_t done = 0;
  while (done < length) {
    uint64_t address = linear + done;
    uint64_t chunk = std::min(SpiNorFlash::kPageSize - address % SpiNorFlash::kPageSize, length - done);
    auto [part, offset] = Locate(address);
    // A page never spans two components: both sizes are multiples of the page.
    if (!part->ProgramPage(offset, data + done, chunk, MemoryAddress(address))) return EFI_DEVICE_ERROR;
    done += chunk;
  }
  return EFI_SUCCESS;
}

EFI_STATUS SpiController::ReadSfdp(uint8_t component, uint32_t address, uint32_t length, uint8_t *out) {
  if (component >= components_.size() || (length != 0 && out == nullptr)) return EFI_INVALID_PARAMETER;
  components_[component]->ReadSfdp(address, out, length);
  return EFI_SUCCESS;
}

EFI_STATUS SpiController::ReadJedecId(uint8_t component, uint32_t length, uint8_t *out) {
  if (component >= components_.size() || (length != 0 && out == nullptr)) return EFI_INVALID_PARAMETER;
  components_[component]->ReadJedecId(out, length);
  return EFI_SUCCESS;
}

uint32_t SpiController::DescriptorSelector() const {
  uint32_t value = 0;
  std::memcpy(&value, &registers_[kDescriptorSelector], sizeof(value));
  return value;
}

// FDOC bits 14:12 select the section and bits 11:2 the dword within it.
uint32_t SpiController::ObservedDescriptor() const {
  uint32_t selector = DescriptorSelector();
  auto it = descriptor_.find(DescriptorKey((selector >> 12) & 0x7, (selector >> 2) & 0x3FF));
  return it == descriptor_.end() ? 0xFFFFFFFF : it->second;
}

uint64_t SpiController::MmioRead(uint64_t offset, unsigned width) {
  uint64_t value = 0;
  for (unsigned index = 0; index < width; ++index) {
    uint64_t byteOffset = offset + index;
    uint8_t byte = 0;
    if (byteOffset >= kDescriptorData && byteOffset < kDescriptorData + 4) {
      byte = static_cast<uint8_t>(ObservedDescriptor() >> (8 * (byteOffset - kDescriptorData)));
    } else if (byteOffset < kRegisterSize) {
      byte = registers_[byteOffset];
    }
    value |= static_cast<uint64_t>(byte) << (8 * index);
  }
  return value;
}

void SpiController::MmioWrite(uint64_t offset, unsigned width, uint64_t value) {
  for (unsigned index = 0; index < width; ++index) {
    uint64_t byteOffset = offset + index;
    if (byteOffset >= kRegisterSize || (byteOffset >= kDescriptorData && byteOffset < kDescriptorData + 4)) continue;
    registers_[byteOffset] = static_cast<uint8_t>(value >> (8 * index));
  }
  // Only the section and index fields of the selector are writable.
  uint32_t selector = DescriptorSelector() & 0x7FFC;
  std::memcpy(&registers_[kDescriptorSelector], &selector, sizeof(selector));
}

}  // namespace sim
