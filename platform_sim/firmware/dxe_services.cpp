// The DXE services table: memory-space descriptors and attributes over the GCD map;
// the other services are not modelled and record a fault.
#include <cstdio>

#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

FirmwareCore &Core() { return Platform::Current().Core(); }

EFI_STATUS EFIAPI GetMemorySpaceDescriptor(EFI_PHYSICAL_ADDRESS base, EFI_GCD_MEMORY_SPACE_DESCRIPTOR *descriptor) {
  if (!EnterBootService("GetMemorySpaceDescriptor", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (descriptor == nullptr) return EFI_INVALID_PARAMETER;
  return Core().MemorySpace().Get(base, *descriptor);
}

EFI_STATUS EFIAPI SetMemorySpaceAttributes(EFI_PHYSICAL_ADDRESS base, UINT64 length, UINT64 attributes) {
  if (!EnterBootService("SetMemorySpaceAttributes", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  EFI_STATUS status = Core().MemorySpace().SetAttributes(base, length, attributes);
  char text[96];
  std::snprintf(text, sizeof(text), "0x%08llX-0x%08llX attributes 0x%llX -> %s", static_cast<unsigned long long>(base),
                static_cast<unsigned long long>(base + length - 1), static_cast<unsigned long long>(attributes),
                StatusText(status).c_str());
  Platform::Current().Record(EffectKind::MemorySpace, text, status);
  return status;
}

// EFI_GCD_ALLOCATE_TYPE and EFI_GCD_IO_TYPE are 32-bit enums.
constexpr char kAddMemorySpace[] = "AddMemorySpace";
constexpr char kAllocateMemorySpace[] = "AllocateMemorySpace";
constexpr char kFreeMemorySpace[] = "FreeMemorySpace";
constexpr char kRemoveMemorySpace[] = "RemoveMemorySpace";
constexpr char kGetMemorySpaceMap[] = "GetMemorySpaceMap";
constexpr char kAddIoSpace[] = "AddIoSpace";
constexpr char kAllocateIoSpace[] = "AllocateIoSpace";
constexpr char kFreeIoSpace[] = "FreeIoSpace";
constexpr char kRemoveIoSpace[] = "RemoveIoSpace";
constexpr char kGetIoSpaceDescriptor[] = "GetIoSpaceDescriptor";
constexpr char kGetIoSpaceMap[] = "GetIoSpaceMap";
constexpr char kDispatch[] = "Dispatch";
constexpr char kSchedule[] = "Schedule";
constexpr char kTrust[] = "Trust";
constexpr char kProcessFirmwareVolume[] = "ProcessFirmwareVolume";
constexpr char kSetMemorySpaceCapabilities[] = "SetMemorySpaceCapabilities";

}  // namespace

EFI_DXE_SERVICES *BuildDxeServices(Arena &arena) {
  auto *table = arena.NewFirmware<EFI_DXE_SERVICES>();
  table->Hdr.Signature = DXE_SERVICES_SIGNATURE;
  table->Hdr.HeaderSize = sizeof(EFI_DXE_SERVICES);
  table->AddMemorySpace = NotModelledSlot<kAddMemorySpace, EFI_GCD_MEMORY_TYPE, EFI_PHYSICAL_ADDRESS, UINT64, UINT64>();
  table->AllocateMemorySpace = NotModelledSlot<kAllocateMemorySpace, UINT32, EFI_GCD_MEMORY_TYPE, UINTN, UINT64,
                                               EFI_PHYSICAL_ADDRESS *, EFI_HANDLE, EFI_HANDLE>();
  table->FreeMemorySpace = NotModelledSlot<kFreeMemorySpace, EFI_PHYSICAL_ADDRESS, UINT64>();
  table->RemoveMemorySpace = NotModelledSlot<kRemoveMemorySpace, EFI_PHYSICAL_ADDRESS, UINT64>();
  table->GetMemorySpaceDescriptor = GetMemorySpaceDescriptor;
  table->SetMemorySpaceAttributes = SetMemorySpaceAttributes;
  table->GetMemorySpaceMap = NotModelledSlot<kGetMemorySpaceMap, UINTN *, EFI_GCD_MEMORY_SPACE_DESCRIPTOR **>();
  table->AddIoSpace = NotModelledSlot<kAddIoSpace, UINT32, EFI_PHYSICAL_ADDRESS, UINT64>();
  table->AllocateIoSpace = NotModelledSlot<kAllocateIoSpace, UINT32, UINT32, UINTN, UINT64, EFI_PHYSICAL_ADDRESS *,
                                           EFI_HANDLE, EFI_HANDLE>();
  table->FreeIoSpace = NotModelledSlot<kFreeIoSpace, EFI_PHYSICAL_ADDRESS, UINT64>();
  table->RemoveIoSpace = NotModelledSlot<kRemoveIoSpace, EFI_PHYSICAL_ADDRESS, UINT64>();
  table->GetIoSpaceDescriptor = NotModelledSlot<kGetIoSpaceDescriptor, EFI_PHYSICAL_ADDRESS, VOID *>();
  table->GetIoSpaceMap = NotModelledSlot<kGetIoSpaceMap, UINTN *, VOID **>();
  table->Dispatch = NotModelledSlot<kDispatch>();
  table->Schedule = NotModelledSlot<kSchedule, EFI_HANDLE, const EFI_GUID *>();
  table->Trust = NotModelledSlot<kTrust, EFI_HANDLE, const EFI_GUID *>();
  table->ProcessFirmwareVolume = NotModelledSlot<kProcessFirmwareVolume, const VOID *, UINTN, EFI_HANDLE *>();
  table->SetMemorySpaceCapabilities =
      NotModelledSlot<kSetMemorySpaceCapabilities, EFI_PHYSICAL_ADDRESS, UINT64, UINT64>();
  return table;
}

}  // namespace sim
