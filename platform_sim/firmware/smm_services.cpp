// The SMM entry points (SMM base, SMM system table).
#include <cstdio>

#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

FirmwareCore &Core() { return Platform::Current().Core(); }

EFI_STATUS EFIAPI InSmm(EFI_SMM_BASE2_PROTOCOL *, BOOLEAN *inSmram) {
  if (inSmram == nullptr) return EFI_INVALID_PARAMETER;
  *inSmram = Core().InSmm() ? TRUE : FALSE;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetSmstLocation(EFI_SMM_BASE2_PROTOCOL *, EFI_SMM_SYSTEM_TABLE2 **smst) {
  if (smst == nullptr) return EFI_INVALID_PARAMETER;
  if (!Core().InSmm()) return EFI_UNSUPPORTED;
  *smst = Core().Smst();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmAllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  if (buffer == nullptr) return EFI_INVALID_PARAMETER;
  *buffer = Core().Memory().AllocatePool(type, size, Region::Smram);
  return *buffer == nullptr ? EFI_OUT_OF_RESOURCES : EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmFreePool(VOID *buffer) {
  if (!Core().Memory().InSmram(reinterpret_cast<uint64_t>(buffer))) return EFI_INVALID_PARAMETER;
  return Core().Memory().FreePool(buffer);
}

EFI_STATUS EFIAPI SmmInstallProtocolInterface(EFI_HANDLE *handle, EFI_GUID *protocol, EFI_INTERFACE_TYPE type,
                                              VOID *interface) {
  if (protocol == nullptr || type != EFI_NATIVE_INTERFACE) return EFI_INVALID_PARAMETER;
  return Core().SmmProtocols().Install(handle, *protocol, interface, Platform::Current().Actor());
}

EFI_STATUS EFIAPI SmmLocateProtocol(EFI_GUID *protocol, VOID *registration, VOID **interface) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Core().SmmProtocols().Locate(*protocol, registration, interface);
}

}  // namespace

EFI_SMM_SYSTEM_TABLE2 *BuildSmmSystemTable(Arena &arena) {
  auto *table = arena.NewFirmware<EFI_SMM_SYSTEM_TABLE2>();
  table->Hdr.Signature = SMM_SMST_SIGNATURE;
  table->Hdr.HeaderSize = sizeof(EFI_SMM_SYSTEM_TABLE2);
  table->SmmAllocatePool = SmmAllocatePool;
  table->SmmFreePool = SmmFreePool;
  table->SmmInstallProtocolInterface = SmmInstallProtocolInterface;
  table->SmmLocateProtocol = SmmLocateProtocol;
  table->NumberOfCpus = 1;
  return table;
}

EFI_SMM_BASE2_PROTOCOL *BuildSmmBase2(Arena &arena) {
  auto *protocol = arena.NewFirmware<EFI_SMM_BASE2_PROTOCOL>();
  protocol->InSmm = InSmm;
  protocol->GetSmstLocation = GetSmstLocation;
  return protocol;
}

}  // namespace sim
