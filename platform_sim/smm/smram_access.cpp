#include "platform_sim/smm/smram_access.h"

#include <cstring>

#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace sim {

EFI_STATUS SmramAccess::Open() {
  if (locked_) return EFI_ACCESS_DENIED;
  open_ = true;
  return EFI_SUCCESS;
}

EFI_STATUS SmramAccess::Close() {
  if (locked_ && open_) return EFI_ACCESS_DENIED;
  open_ = false;
  return EFI_SUCCESS;
}

std::vector<EFI_SMRAM_DESCRIPTOR> SmramAccess::Descriptors() const {
  EFI_SMRAM_DESCRIPTOR range{};
  range.PhysicalStart = arena_.SmramBase();
  range.CpuStart = arena_.SmramBase();
  range.PhysicalSize = Arena::kSmramSize;
  range.RegionState = (open_ ? EFI_SMRAM_OPEN : EFI_SMRAM_CLOSED) | (locked_ ? EFI_SMRAM_LOCKED : 0) | EFI_CACHEABLE;
  return {range};
}

EFI_STATUS SmramAccess::GetCapabilities(UINTN *size, EFI_SMRAM_DESCRIPTOR *map) const {
  if (size == nullptr) return EFI_INVALID_PARAMETER;
  std::vector<EFI_SMRAM_DESCRIPTOR> ranges = Descriptors();
  UINTN needed = ranges.size() * sizeof(EFI_SMRAM_DESCRIPTOR);
  if (*size < needed) {
    *size = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (map == nullptr) return EFI_INVALID_PARAMETER;
  std::memcpy(map, ranges.data(), needed);
  *size = needed;
  return EFI_SUCCESS;
}

namespace {

SmramAccess &Access() { return Platform::Current().Core().Smram(); }

// The interface mirrors the state in its two fields, as callers may read them.
void Mirror(EFI_SMM_ACCESS2_PROTOCOL *self) {
  self->OpenState = Access().IsOpen() ? TRUE : FALSE;
  self->LockState = Access().IsLocked() ? TRUE : FALSE;
}

EFI_STATUS EFIAPI Open(EFI_SMM_ACCESS2_PROTOCOL *self) {
  if (self == nullptr) return EFI_INVALID_PARAMETER;
  EFI_STATUS status = Access().Open();
  Mirror(self);
  return status;
}

EFI_STATUS EFIAPI Close(EFI_SMM_ACCESS2_PROTOCOL *self) {
  if (self == nullptr) return EFI_INVALID_PARAMETER;
  EFI_STATUS status = Access().Close();
  Mirror(self);
  return status;
}

EFI_STATUS EFIAPI Lock(EFI_SMM_ACCESS2_PROTOCOL *self) {
  if (self == nullptr) return EFI_INVALID_PARAMETER;
  Access().Lock();
  Mirror(self);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetCapabilities(CONST EFI_SMM_ACCESS2_PROTOCOL *, UINTN *size, EFI_SMRAM_DESCRIPTOR *map) {
  return Access().GetCapabilities(size, map);
}

}  // namespace

EFI_SMM_ACCESS2_PROTOCOL *BuildSmmAccess2(Arena &arena) {
  auto *protocol = arena.NewFirmware<EFI_SMM_ACCESS2_PROTOCOL>();
  protocol->Open = Open;
  protocol->Close = Close;
  protocol->Lock = Lock;
  protocol->GetCapabilities = GetCapabilities;
  return protocol;
}

}  // namespace sim
