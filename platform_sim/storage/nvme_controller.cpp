#include <algorithm>
#include <cstring>

#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/storage/storage_models.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

constexpr uint8_t kAdminIdentify = 0x06;
constexpr uint32_t kCnsController = 1;

struct NvmePassThruInstance {
  EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL protocol;
  EFI_NVM_EXPRESS_PASS_THRU_MODE mode;
  NvmeControllerModel *model;
};

NvmeControllerModel &Model(EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *self) {
  return *reinterpret_cast<NvmePassThruInstance *>(self)->model;
}

EFI_STATUS EFIAPI PassThru(EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *self, UINT32 namespaceId,
                           EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET *packet, EFI_EVENT) {
  CheckTpl("NvmePassThru.PassThru", TPL_CALLBACK);
  return Model(self).PassThru(namespaceId, packet);
}
EFI_STATUS EFIAPI GetNextNamespace(EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *self, UINT32 *namespaceId) {
  CheckTpl("NvmePassThru.GetNextNamespace", TPL_CALLBACK);
  return Model(self).GetNextNamespace(namespaceId);
}

constexpr char kBuildDevicePath[] = "NvmePassThru.BuildDevicePath";
constexpr char kGetNamespace[] = "NvmePassThru.GetNamespace";

}  // namespace

EFI_STATUS NvmeControllerModel::PassThru(uint32_t namespaceId, EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET *packet) {
  if (packet == nullptr || packet->NvmeCmd == nullptr || packet->NvmeCompletion == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (ioAlign_ > 1 && reinterpret_cast<uint64_t>(packet->TransferBuffer) % ioAlign_ != 0) {
    faults_.push_back("transfer buffer not aligned to IoAlign");
    return EFI_INVALID_PARAMETER;
  }
  // Namespace 0 and all-ones address the controller; others must exist.
  if (namespaceId != 0 && namespaceId != 0xFFFFFFFF && namespaces_.count(namespaceId) == 0) {
    return EFI_INVALID_PARAMETER;
  }
  const EFI_NVM_EXPRESS_COMMAND &cmd = *packet->NvmeCmd;
  NvmeCommandRecord record;
  record.passThruNamespace = namespaceId;
  record.opcode = static_cast<uint8_t>(cmd.Cdw0.Opcode);
  record.fused = static_cast<uint8_t>(cmd.Cdw0.FusedOperation);
  record.flags = cmd.Flags;
  record.nsid = cmd.Nsid;
  record.cdw10 = cmd.Cdw10;
  record.timeout = packet->CommandTimeout;
  record.transferLength = packet->TransferLength;
  record.queueType = packet->QueueType;
  record.metadata = packet->MetadataBuffer != nullptr || packet->MetadataLength != 0;
  commands_.push_back(record);
  std::memset(packet->NvmeCompletion, 0, sizeof(EFI_NVM_EXPRESS_COMPLETION));
  if (failNamespaces.count(namespaceId) != 0) return EFI_DEVICE_ERROR;
  if (packet->QueueType == 0 && record.opcode == kAdminIdentify && (cmd.Cdw10 & 0xFF) == kCnsController) {
    if (packet->TransferBuffer == nullptr || packet->TransferLength < identify_.size()) return EFI_BAD_BUFFER_SIZE;
    std::memcpy(packet->TransferBuffer, identify_.data(), identify_.size());
    packet->TransferLength = static_cast<UINT32>(identify_.size());
    return EFI_SUCCESS;
  }
  packet->NvmeCompletion->DW3 = 0x0002u << 17;  // invalid field in command
  return EFI_DEVICE_ERROR;
}

EFI_STATUS NvmeControllerModel::GetNextNamespace(uint32_t *namespaceId) {
  if (namespaceId == nullptr) return EFI_INVALID_PARAMETER;
  std::set<uint32_t>::iterator next;
  if (*namespaceId == 0xFFFFFFFF) {
    next = namespaces_.begin();
  } else {
    if (namespaces_.count(*namespaceId) == 0) return EFI_INVALID_PARAMETER;
    next = namespaces_.upper_bound(*namespaceId);
  }
  if (next == namespaces_.end()) return EFI_NOT_FOUND;
  *namespaceId = *next;
  return EFI_SUCCESS;
}

EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *NvmeControllerModel::Publish(Arena &arena) {
  auto *instance = arena.NewFirmware<NvmePassThruInstance>();
  instance->mode.Attributes = 0x3;
  instance->mode.IoAlign = ioAlign_;
  instance->mode.NvmeVersion = 0x00010400;
  instance->model = this;
  EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL &p = instance->protocol;
  p.Mode = &instance->mode;
  p.PassThru = sim::PassThru;
  p.GetNextNamespace = sim::GetNextNamespace;
  p.BuildDevicePath = reinterpret_cast<decltype(p.BuildDevicePath)>(NotModelledSlot<kBuildDevicePath>());
  p.GetNamespace = reinterpret_cast<decltype(p.GetNamespace)>(NotModelledSlot<kGetNamespace>());
  return &p;
}

}  // namespace sim
