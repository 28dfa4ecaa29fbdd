#include <cstring>

#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/storage/storage_models.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

struct PciIoInstance {
  EFI_PCI_IO_PROTOCOL protocol;
  PciFunctionModel *model;
};

PciFunctionModel &Model(EFI_PCI_IO_PROTOCOL *self) { return *reinterpret_cast<PciIoInstance *>(self)->model; }

EFI_STATUS EFIAPI ConfigRead(EFI_PCI_IO_PROTOCOL *self, EFI_PCI_IO_PROTOCOL_WIDTH width, UINT32 offset, UINTN count,
                             VOID *buffer) {
  CheckTpl("PciIo.Pci.Read", TPL_NOTIFY);
  if (buffer == nullptr || width > EfiPciIoWidthUint64) return EFI_INVALID_PARAMETER;
  const uint64_t unit = 1ull << width;
  if (offset % unit != 0) return EFI_UNSUPPORTED;
  if (count == 0 || offset + unit * count > 256) return EFI_UNSUPPORTED;
  PciFunctionModel &model = Model(self);
  model.reads.emplace_back(offset, static_cast<uint32_t>(unit * count));
  std::memcpy(buffer, model.Config().data() + offset, unit * count);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI ConfigWrite(EFI_PCI_IO_PROTOCOL *self, EFI_PCI_IO_PROTOCOL_WIDTH width, UINT32 offset, UINTN count,
                              VOID *buffer) {
  CheckTpl("PciIo.Pci.Write", TPL_NOTIFY);
  if (buffer == nullptr || width > EfiPciIoWidthUint64) return EFI_INVALID_PARAMETER;
  const uint64_t unit = 1ull << width;
  if (offset % unit != 0 || count == 0 || offset + unit * count > 256) return EFI_UNSUPPORTED;
  std::memcpy(Model(self).Config().data() + offset, buffer, unit * count);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetLocation(EFI_PCI_IO_PROTOCOL *self, UINTN *segment, UINTN *bus, UINTN *device, UINTN *function) {
  CheckTpl("PciIo.GetLocation", TPL_NOTIFY);
  if (segment == nullptr || bus == nullptr || device == nullptr || function == nullptr) return EFI_INVALID_PARAMETER;
  PciFunctionModel &model = Model(self);
  if (model.failLocation) return EFI_DEVICE_ERROR;
  *segment = 0;
  *bus = model.Bus();
  *device = model.Device();
  *function = model.Function();
  return EFI_SUCCESS;
}

constexpr char kPollMem[] = "PciIo.PollMem";
constexpr char kPollIo[] = "PciIo.PollIo";
constexpr char kMemRead[] = "PciIo.Mem.Read";
constexpr char kMemWrite[] = "PciIo.Mem.Write";
constexpr char kIoRead[] = "PciIo.Io.Read";
constexpr char kIoWrite[] = "PciIo.Io.Write";
constexpr char kCopyMem[] = "PciIo.CopyMem";
constexpr char kMap[] = "PciIo.Map";
constexpr char kUnmap[] = "PciIo.Unmap";
constexpr char kAllocateBuffer[] = "PciIo.AllocateBuffer";
constexpr char kFreeBuffer[] = "PciIo.FreeBuffer";
constexpr char kFlush[] = "PciIo.Flush";
constexpr char kAttributes[] = "PciIo.Attributes";
constexpr char kGetBarAttributes[] = "PciIo.GetBarAttributes";
constexpr char kSetBarAttributes[] = "PciIo.SetBarAttributes";

}  // namespace

PciFunctionModel::PciFunctionModel(uint8_t bus, uint8_t device, uint8_t function, uint16_t vendor, uint16_t deviceId,
                                   uint8_t baseClass, uint8_t subClass, uint8_t interface)
    : bus_(bus), device_(device), function_(function) {
  config_.fill(0);
  std::memcpy(&config_[0x00], &vendor, 2);
  std::memcpy(&config_[0x02], &deviceId, 2);
  config_[0x08] = 0x01;  // revision
  config_[0x09] = interface;
  config_[0x0A] = subClass;
  config_[0x0B] = baseClass;
}

EFI_PCI_IO_PROTOCOL *PciFunctionModel::Publish(Arena &arena) {
  auto *instance = arena.NewFirmware<PciIoInstance>();
  EFI_PCI_IO_PROTOCOL &p = instance->protocol;
  p.PollMem = NotModelledSlot<kPollMem>();
  p.PollIo = NotModelledSlot<kPollIo>();
  p.Mem = {NotModelledSlot<kMemRead>(), NotModelledSlot<kMemWrite>()};
  p.Io = {NotModelledSlot<kIoRead>(), NotModelledSlot<kIoWrite>()};
  p.Pci = {ConfigRead, ConfigWrite};
  p.CopyMem = NotModelledSlot<kCopyMem>();
  p.Map = NotModelledSlot<kMap>();
  p.Unmap = NotModelledSlot<kUnmap>();
  p.AllocateBuffer = NotModelledSlot<kAllocateBuffer>();
  p.FreeBuffer = NotModelledSlot<kFreeBuffer>();
  p.Flush = NotModelledSlot<kFlush>();
  p.GetLocation = GetLocation;
  p.Attributes = NotModelledSlot<kAttributes>();
  p.GetBarAttributes = NotModelledSlot<kGetBarAttributes>();
  p.SetBarAttributes = NotModelledSlot<kSetBarAttributes>();
  p.RomSize = 0;
  p.RomImage = nullptr;
  instance->model = this;
  return &p;
}

}  // namespace sim
