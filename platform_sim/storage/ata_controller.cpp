#include <algorithm>
#include <cstring>

#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/storage/storage_models.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kIdentifyPacketDevice = 0xA1;
constexpr uint8_t kSetFeatures = 0xEF;
constexpr uint16_t kNoMultiplier = 0xFFFF;

struct AtaPassThruInstance {
  EFI_ATA_PASS_THRU_PROTOCOL protocol;
  EFI_ATA_PASS_THRU_MODE mode;
  AtaControllerModel *model;
};

AtaControllerModel &Model(EFI_ATA_PASS_THRU_PROTOCOL *self) {
  return *reinterpret_cast<AtaPassThruInstance *>(self)->model;
}

EFI_STATUS EFIAPI PassThru(EFI_ATA_PASS_THRU_PROTOCOL *self, UINT16 port, UINT16 pmp,
                           EFI_ATA_PASS_THRU_COMMAND_PACKET *packet, EFI_EVENT) {
  CheckTpl("AtaPassThru.PassThru", TPL_CALLBACK);
  return Model(self).PassThru(port, pmp, packet);
}
EFI_STATUS EFIAPI GetNextPort(EFI_ATA_PASS_THRU_PROTOCOL *self, UINT16 *port) {
  CheckTpl("AtaPassThru.GetNextPort", TPL_CALLBACK + 1);
  return Model(self).GetNextPort(port);
}
EFI_STATUS EFIAPI GetNextDevice(EFI_ATA_PASS_THRU_PROTOCOL *self, UINT16 port, UINT16 *pmp) {
  CheckTpl("AtaPassThru.GetNextDevice", TPL_CALLBACK + 1);
  return Model(self).GetNextDevice(port, pmp);
}
EFI_STATUS EFIAPI GetDevice(EFI_ATA_PASS_THRU_PROTOCOL *self, EFI_DEVICE_PATH_PROTOCOL *path, UINT16 *port,
                            UINT16 *pmp) {
  CheckTpl("AtaPassThru.GetDevice", TPL_CALLBACK + 1);
  return Model(self).GetDevice(path, port, pmp);
}

constexpr char kBuildDevicePath[] = "AtaPassThru.BuildDevicePath";
constexpr char kResetPort[] = "AtaPassThru.ResetPort";
constexpr char kResetDevice[] = "AtaPassThru.ResetDevice";

bool Aligned(const void *buffer, uint32_t align) {
  return align <= 1 || reinterpret_cast<uint64_t>(buffer) % align == 0;
}

}  // namespace

AtaDriveModel &AtaControllerModel::Attach(uint16_t port, uint16_t pmp, const AtaIdentifyBlock &identify) {
  AtaDriveModel &drive = ports_[port][pmp];
  drive.identify = identify;
  return drive;
}

AtaDriveModel *AtaControllerModel::Drive(uint16_t port, uint16_t pmp) {
  auto p = ports_.find(port);
  if (p == ports_.end()) return nullptr;
  auto d = p->second.find(pmp);
  return d == p->second.end() ? nullptr : &d->second;
}

EFI_STATUS AtaControllerModel::PassThru(uint16_t port, uint16_t pmp, EFI_ATA_PASS_THRU_COMMAND_PACKET *packet) {
  if (packet == nullptr || packet->Acb == nullptr || packet->Asb == nullptr) return EFI_INVALID_PARAMETER;
  if (!Aligned(packet->InDataBuffer, ioAlign_) || !Aligned(packet->OutDataBuffer, ioAlign_) ||
      !Aligned(packet->Asb, ioAlign_)) {
    faults_.push_back("buffer not aligned to IoAlign");
    return EFI_INVALID_PARAMETER;
  }
  AtaDriveModel *drive = Drive(port, pmp);
  if (drive == nullptr) return EFI_INVALID_PARAMETER;
  const EFI_ATA_COMMAND_BLOCK &acb = *packet->Acb;
  AtaPacketRecord record;
  record.port = port;
  record.portMultiplierPort = pmp;
  record.command = acb.AtaCommand;
  record.features = acb.AtaFeatures;
  record.sectorCount = acb.AtaSectorCount;
  record.deviceHead = acb.AtaDeviceHead;
  record.protocol = packet->Protocol;
  record.length = packet->Length;
  record.inTransferLength = packet->InTransferLength;
  record.timeout = packet->Timeout;
  EFI_ATA_COMMAND_BLOCK others = acb;
  others.AtaCommand = others.AtaFeatures = others.AtaSectorCount = others.AtaDeviceHead = 0;
  const auto *bytes = reinterpret_cast<const uint8_t *>(&others);
  record.otherBytesZero = std::all_of(bytes, bytes + sizeof(others), [](uint8_t b) { return b == 0; });
  drive->packets.push_back(record);
  packets_.push_back(record);
  if (beforeCommand) beforeCommand(record);

  std::memset(packet->Asb, 0, sizeof(EFI_ATA_STATUS_BLOCK));
  if (drive->failCommand && *drive->failCommand == acb.AtaCommand) {
    packet->Asb->AtaStatus = 0x51;  // DRDY, DSC, ERR
    packet->Asb->AtaError = 0x04;   // aborted
    return EFI_DEVICE_ERROR;
  }
  switch (acb.AtaCommand) {
    case kIdentifyDevice:
    case kIdentifyPacketDevice: {
      if (packet->InDataBuffer == nullptr) return EFI_INVALID_PARAMETER;
      const uint32_t length = std::min<uint32_t>(packet->InTransferLength, drive->identify.size());
      std::memcpy(packet->InDataBuffer, drive->identify.data(), length);
      packet->InTransferLength = length;
      break;
    }
    case kSetFeatures:
      if (acb.AtaFeatures == 0x90 && acb.AtaSectorCount == 0x09) {
        drive->deviceSleepDisabled = true;
        drive->identify[242] &= static_cast<uint8_t>(~0x01);  // word 121 bit 8: no longer enabled
      }
      break;
    default:
      packet->Asb->AtaStatus = 0x51;
      packet->Asb->AtaError = 0x04;
      return EFI_DEVICE_ERROR;
  }
  packet->Asb->AtaStatus = 0x50;  // DRDY, DSC
  return EFI_SUCCESS;
}

// 0xFFFF starts the walk; otherwise the value must be the port returned last.
EFI_STATUS AtaControllerModel::GetNextPort(uint16_t *port) {
  if (port == nullptr) return EFI_INVALID_PARAMETER;
  std::map<uint16_t, std::map<uint16_t, AtaDriveModel>>::iterator next;
  if (*port == 0xFFFF) {
    next = ports_.begin();
  } else {
    if (!lastPort_ || *lastPort_ != *port) {
      faults_.push_back("GetNextPort with a port it did not return");
      return EFI_INVALID_PARAMETER;
    }
    next = ports_.upper_bound(*port);
  }
  if (next == ports_.end()) return EFI_NOT_FOUND;
  *port = next->first;
  lastPort_ = *port;
  lastDevice_.erase(*port);
  return EFI_SUCCESS;
}

// 0xFFFF starts the port's walk, except right after it returned 0xFFFF (a drive without
// multiplier), when it goes on from there; otherwise the value must be the one
// returned last for this port.
EFI_STATUS AtaControllerModel::GetNextDevice(uint16_t port, uint16_t *pmp) {
  if (pmp == nullptr) return EFI_INVALID_PARAMETER;
  auto p = ports_.find(port);
  if (p == ports_.end()) return EFI_INVALID_PARAMETER;
  auto &devices = p->second;
  auto last = lastDevice_.find(port);
  std::map<uint16_t, AtaDriveModel>::iterator next;
  if (*pmp == kNoMultiplier && (last == lastDevice_.end() || last->second != kNoMultiplier)) {
    // Multiplier ports first in ascending order; the direct drive (key 0xFFFF) sorts last.
    next = devices.begin();
  } else {
    if (last == lastDevice_.end() || last->second != *pmp) {
      faults_.push_back("GetNextDevice with a multiplier port it did not return");
      return EFI_INVALID_PARAMETER;
    }
    next = (*pmp == kNoMultiplier) ? devices.end() : devices.upper_bound(*pmp);
  }
  if (next == devices.end()) {
    lastDevice_.erase(port);
    lastDevice_[port] = 0xFFFE;  // the walk ended; only 0xFFFF starts it again
    return EFI_NOT_FOUND;
  }
  *pmp = next->first;
  lastDevice_[port] = *pmp;
  return EFI_SUCCESS;
}

EFI_STATUS AtaControllerModel::GetDevice(const EFI_DEVICE_PATH_PROTOCOL *node, uint16_t *port, uint16_t *pmp) {
  if (node == nullptr || port == nullptr || pmp == nullptr) return EFI_INVALID_PARAMETER;
  const auto *bytes = reinterpret_cast<const uint8_t *>(node);
  if (bytes[0] != MESSAGING_DEVICE_PATH) return EFI_UNSUPPORTED;
  uint16_t wantPort = 0, wantPmp = 0;
  if (bytes[1] == MSG_SATA_DP && bytes[2] == sizeof(SATA_DEVICE_PATH)) {
    std::memcpy(&wantPort, bytes + 4, 2);
    std::memcpy(&wantPmp, bytes + 6, 2);
  } else if (bytes[1] == MSG_ATAPI_DP && bytes[2] == sizeof(ATAPI_DEVICE_PATH)) {
    wantPort = bytes[4];
    wantPmp = bytes[5];
  } else {
    return EFI_UNSUPPORTED;
  }
  if (Drive(wantPort, wantPmp) == nullptr) return EFI_NOT_FOUND;
  *port = wantPort;
  *pmp = wantPmp;
  return EFI_SUCCESS;
}

EFI_ATA_PASS_THRU_PROTOCOL *AtaControllerModel::Publish(Arena &arena) {
  auto *instance = arena.NewFirmware<AtaPassThruInstance>();
  instance->mode.Attributes = 0x3;  // physical and logical
  instance->mode.IoAlign = ioAlign_;
  instance->model = this;
  EFI_ATA_PASS_THRU_PROTOCOL &p = instance->protocol;
  p.Mode = &instance->mode;
  p.PassThru = sim::PassThru;
  p.GetNextPort = sim::GetNextPort;
  p.GetNextDevice = sim::GetNextDevice;
  p.BuildDevicePath = reinterpret_cast<decltype(p.BuildDevicePath)>(NotModelledSlot<kBuildDevicePath>());
  p.GetDevice = sim::GetDevice;
  p.ResetPort = reinterpret_cast<decltype(p.ResetPort)>(NotModelledSlot<kResetPort>());
  p.ResetDevice = reinterpret_cast<decltype(p.ResetDevice)>(NotModelledSlot<kResetDevice>());
  return &p;
}

}  // namespace sim
