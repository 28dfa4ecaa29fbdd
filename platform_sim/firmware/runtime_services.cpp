// The runtime services entry points: variables and reset.
#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/runtime_services.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

EFI_STATUS EFIAPI GetVariable(CHAR16 *name, EFI_GUID *guid, UINT32 *attributes, UINTN *dataSize, VOID *data) {
  return Platform::Current().Variables().Get(name, guid, attributes, dataSize, data);
}

EFI_STATUS EFIAPI SetVariable(CHAR16 *name, EFI_GUID *guid, UINT32 attributes, UINTN dataSize, VOID *data) {
  Platform &platform = Platform::Current();
  EFI_STATUS status = platform.Variables().Set(name, guid, attributes, dataSize, data);
  std::string text = (name == nullptr ? std::string("?") : Ucs2ToUtf8(name));
  if (status == EFI_SUCCESS && dataSize != 0) {
    platform.Record(EffectKind::VariableWrite, text + " (" + std::to_string(dataSize) + " bytes)", attributes);
  } else if (status == EFI_SUCCESS) {
    platform.Record(EffectKind::VariableDelete, text);
  } else {
    platform.Record(EffectKind::Note, "write of " + text + " failed: " + StatusText(status), status);
  }
  return status;
}

VOID EFIAPI ResetSystem(EFI_RESET_TYPE type, EFI_STATUS status, UINTN, VOID *) {
  Platform::Current().Reset(type, status);
}

EFI_STATUS EFIAPI ConvertPointer(UINTN disposition, VOID **address) {
  Platform &platform = Platform::Current();
  return platform.Core().VirtualAddresses().Convert(disposition, address, platform.Actor());
}

// Interim: time and variable enumeration are modelled by the subsystems that use
// them; until then they answer EFI_UNSUPPORTED.
EFI_STATUS EFIAPI GetTime(EFI_TIME *, VOID *) { return EFI_UNSUPPORTED; }
EFI_STATUS EFIAPI GetNextVariableName(UINTN *, CHAR16 *, EFI_GUID *) { return EFI_UNSUPPORTED; }

}  // namespace

EFI_RUNTIME_SERVICES *BuildRuntimeServices(Arena &arena) {
  auto *table = arena.NewFirmware<EFI_RUNTIME_SERVICES>(EfiRuntimeServicesData);
  table->Hdr.Signature = EFI_RUNTIME_SERVICES_SIGNATURE;
  table->Hdr.Revision = EFI_2_70_SYSTEM_TABLE_REVISION;
  table->Hdr.HeaderSize = sizeof(EFI_RUNTIME_SERVICES);
  table->GetTime = GetTime;
  table->ConvertPointer = ConvertPointer;
  table->GetVariable = GetVariable;
  table->GetNextVariableName = GetNextVariableName;
  table->SetVariable = SetVariable;
  table->ResetSystem = ResetSystem;
  return table;
}

}  // namespace sim
