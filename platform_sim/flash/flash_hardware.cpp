#include "platform_sim/flash/flash_hardware.h"

#include <iomanip>
#include <sstream>

namespace sim {

FlashHardware::FlashHardware(const FlashProfile &profile, Cpu &cpu, AddressMap &bus, PciExpressSpace &pci,
                             EffectTrace &trace, FlashMonitor::ActorSource actor, FlashMonitor::PowerCut powerCut)
    : kind_(profile.kind), monitor_(cpu, trace, std::move(actor), std::move(powerCut), profile.faults) {
  switch (kind_) {
    case FlashPartKind::None: return;
    case FlashPartKind::Spi:
      spi_ = std::make_unique<SpiController>(profile, monitor_);
      spi_->Attach(bus, pci);
      window_ = std::make_unique<FlashWindow>(spi_->WindowSize(), *spi_);
      break;
    case FlashPartKind::ParallelJedec:
      jedec_ = std::make_unique<JedecParallelFlash>(profile.partSize, profile.manufacturerId, profile.deviceId,
                                                    monitor_, profile.timings);
      window_ = std::make_unique<FlashWindow>(profile.partSize, *jedec_);
      break;
    case FlashPartKind::FirmwareHub:
      hub_ = std::make_unique<FirmwareHubFlash>(profile.partSize, profile.manufacturerId, profile.deviceId, monitor_,
                                                profile.timings);
      window_ = std::make_unique<FlashWindow>(profile.partSize, *hub_);
      break;
  }
  window_->Attach(bus);
  for (const auto &[address, data] : profile.contents) Load(address, data);
}

uint8_t FlashHardware::PeekByte(uint64_t address) const {
  if (window_ == nullptr || address < window_->Base() || address >= FlashWindow::kTop) return 0xFF;
  uint64_t offset = address - window_->Base();
  if (spi_) return spi_->Peek(spi_->Size() - spi_->WindowSize() + offset);
  if (jedec_) return jedec_->Array().Get(offset);
  return hub_->Array().Get(offset);
}

std::vector<uint8_t> FlashHardware::Peek(uint64_t address, size_t length) const {
  if (window_ != nullptr && address >= window_->Base() && address + length <= FlashWindow::kTop) {
    const uint64_t offset = address - window_->Base();
    if (spi_) return spi_->PeekRange(spi_->Size() - spi_->WindowSize() + offset, length);
    return (jedec_ ? jedec_->Array() : hub_->Array()).Read(offset, length);
  }
  std::vector<uint8_t> bytes(length);
  for (size_t index = 0; index < length; ++index) bytes[index] = PeekByte(address + index);
  return bytes;
}

void FlashHardware::Load(uint64_t address, const std::vector<uint8_t> &data) {
  if (window_ == nullptr || address < window_->Base() || address + data.size() > FlashWindow::kTop) return;
  uint64_t offset = address - window_->Base();
  if (spi_) {
    spi_->Load(spi_->Size() - spi_->WindowSize() + offset, data);
  } else if (jedec_) {
    jedec_->Array().Load(offset, data);
  } else {
    hub_->Array().Load(offset, data);
  }
}

void FlashHardware::PowerOn() {
  if (jedec_) jedec_->PowerOn();
  if (hub_) hub_->PowerOn();
}

std::string FlashHardware::Description() const {
  std::ostringstream text;
  text << std::hex << std::uppercase << std::setfill('0');
  switch (kind_) {
    case FlashPartKind::None: return "none";
    case FlashPartKind::Spi:
      text << "SPI NOR behind the controller at 0:31:5 (";
      for (size_t index = 0; index < spi_->ComponentCount(); ++index) {
        SpiNorFlash &part = spi_->Component(index);
        text << (index ? "; " : "") << "component " << index << ": " << std::dec << part.Array().Size() / 1024
             << " KiB, JEDEC ID" << std::hex;
        for (uint8_t byte : part.JedecId()) text << " " << std::setw(2) << static_cast<int>(byte);
      }
      text << ")";
      break;
    case FlashPartKind::ParallelJedec:
    case FlashPartKind::FirmwareHub:
      text << (kind_ == FlashPartKind::ParallelJedec ? "parallel JEDEC flash" : "firmware-hub flash") << ", "
           << std::dec << WindowSize() / 1024 << " KiB" << std::hex;
      break;
  }
  text << "; window 0x" << std::setw(8) << WindowBase() << "-0xFFFFFFFF";
  return text.str();
}

}  // namespace sim
