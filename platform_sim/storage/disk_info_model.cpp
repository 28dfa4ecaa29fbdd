#include <algorithm>
#include <cstring>

#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/storage/storage_models.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

struct DiskInfoInstance {
  EFI_DISK_INFO_PROTOCOL protocol;
  DiskInfoModel *model;
};

EFI_STATUS EFIAPI Identify(EFI_DISK_INFO_PROTOCOL *self, VOID *buffer, UINT32 *size) {
  CheckTpl("DiskInfo.Identify", TPL_NOTIFY);
  return reinterpret_cast<DiskInfoInstance *>(self)->model->Identify(buffer, size);
}

constexpr char kInquiry[] = "DiskInfo.Inquiry";
constexpr char kSenseData[] = "DiskInfo.SenseData";
constexpr char kWhichIde[] = "DiskInfo.WhichIde";

}  // namespace

DiskInfoModel::DiskInfoModel(const EFI_GUID &interface, std::vector<uint8_t> identify, uint32_t reportedSize)
    : interface_(interface), identify_(std::move(identify)) {
  reportedSize_ = reportedSize != 0 ? reportedSize : static_cast<uint32_t>(identify_.size());
}

// Too small a buffer: EFI_BUFFER_TOO_SMALL and the size it needs.
EFI_STATUS DiskInfoModel::Identify(void *buffer, uint32_t *size) {
  if (size == nullptr) return EFI_INVALID_PARAMETER;
  identifySizes.push_back(*size);
  if (failIdentify) return EFI_DEVICE_ERROR;
  if (*size < reportedSize_) {
    *size = reportedSize_;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (buffer == nullptr) return EFI_INVALID_PARAMETER;
  std::memcpy(buffer, identify_.data(), std::min<size_t>(identify_.size(), *size));
  *size = reportedSize_;
  return EFI_SUCCESS;
}

EFI_DISK_INFO_PROTOCOL *DiskInfoModel::Publish(Arena &arena) {
  auto *instance = arena.NewFirmware<DiskInfoInstance>();
  instance->model = this;
  EFI_DISK_INFO_PROTOCOL &p = instance->protocol;
  p.Interface = interface_;
  p.Inquiry = reinterpret_cast<decltype(p.Inquiry)>(NotModelledSlot<kInquiry>());
  p.Identify = sim::Identify;
  p.SenseData = reinterpret_cast<decltype(p.SenseData)>(NotModelledSlot<kSenseData>());
  p.WhichIde = reinterpret_cast<decltype(p.WhichIde)>(NotModelledSlot<kWhichIde>());
  return &p;
}

}  // namespace sim
