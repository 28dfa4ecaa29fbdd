// The runtime services table: variables, reset, the change to virtual addressing and
// the monotonic count. Every slot is filled; time and capsules are not modelled and
// record a fault.
#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/boot_services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/runtime_services.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

bool AtRuntime() { return Platform::Current().Core().BootServicesExited(); }

std::string VariableText(const CHAR16 *name, const EFI_GUID *guid) {
  return (name == nullptr ? std::string("?") : Ucs2ToUtf8(name)) + " {" +
         (guid == nullptr ? std::string("?") : GuidName(*guid)) + "}";
}

EFI_STATUS EFIAPI GetVariable(CHAR16 *name, EFI_GUID *guid, UINT32 *attributes, UINTN *dataSize, VOID *data) {
  CheckTpl("GetVariable", TPL_CALLBACK);
  Platform &platform = Platform::Current();
  EFI_STATUS status = EFI_SUCCESS;
  const Variable *variable =
      name == nullptr || guid == nullptr ? nullptr : platform.Variables().Find(std::u16string(name), *guid);
  // After ExitBootServices only runtime-access variables exist.
  if (AtRuntime() && variable != nullptr && (variable->attributes & EFI_VARIABLE_RUNTIME_ACCESS) == 0) {
    status = EFI_NOT_FOUND;
  } else {
    status = platform.Variables().Get(name, guid, attributes, dataSize, data);
  }
  std::string text = VariableText(name, guid) + " -> " + StatusText(status);
  if (status == EFI_SUCCESS) text += " (" + std::to_string(*dataSize) + " bytes)";
  platform.Record(EffectKind::VariableRead, text, status);
  return status;
}

EFI_STATUS EFIAPI SetVariable(CHAR16 *name, EFI_GUID *guid, UINT32 attributes, UINTN dataSize, VOID *data) {
  CheckTpl("SetVariable", TPL_CALLBACK);
  Platform &platform = Platform::Current();
  EFI_STATUS status = EFI_SUCCESS;
  void *writeArch = nullptr;
  if (platform.Core().Protocols().Locate(gEfiVariableWriteArchProtocolGuid, nullptr, &writeArch) != EFI_SUCCESS) {
    // Until the variable driver announces writes, the slot answers as common firmware's
    // placeholder does.
    status = EFI_UNSUPPORTED;
  } else if (AtRuntime() && attributes != 0 && (attributes & EFI_VARIABLE_RUNTIME_ACCESS) == 0) {
    status = EFI_INVALID_PARAMETER;
  } else {
    status = platform.Variables().Set(name, guid, attributes, dataSize, data);
  }
  std::string text = (name == nullptr ? std::string("?") : Ucs2ToUtf8(name));
  if (status == EFI_SUCCESS && dataSize != 0) {
    platform.Record(EffectKind::VariableWrite, text + " (" + std::to_string(dataSize) + " bytes)", attributes);
  } else if (status == EFI_SUCCESS && (attributes & EFI_VARIABLE_APPEND_WRITE) == 0) {
    platform.Record(EffectKind::VariableDelete, text);
  } else if (status != EFI_SUCCESS) {
    platform.Record(EffectKind::Note, "write of " + text + " failed: " + StatusText(status), status);
  }
  return status;
}

EFI_STATUS EFIAPI GetNextVariableName(UINTN *nameSize, CHAR16 *name, EFI_GUID *guid) {
  CheckTpl("GetNextVariableName", TPL_CALLBACK);
  VariableStore &store = Platform::Current().Variables();
  EFI_STATUS status = store.GetNextName(nameSize, name, guid);
  // After ExitBootServices the enumeration skips what is no longer visible.
  while (status == EFI_SUCCESS && AtRuntime()) {
    const Variable *variable = store.Find(std::u16string(name), *guid);
    if (variable == nullptr || (variable->attributes & EFI_VARIABLE_RUNTIME_ACCESS) != 0) break;
    status = store.GetNextName(nameSize, name, guid);
  }
  return status;
}

EFI_STATUS EFIAPI QueryVariableInfo(UINT32 attributes, UINT64 *maximumStorage, UINT64 *remainingStorage,
                                    UINT64 *maximumVariable) {
  CheckTpl("QueryVariableInfo", TPL_CALLBACK);
  if (AtRuntime() && (attributes & EFI_VARIABLE_RUNTIME_ACCESS) == 0) return EFI_INVALID_PARAMETER;
  return Platform::Current().Variables().Query(attributes, maximumStorage, remainingStorage, maximumVariable);
}

VOID EFIAPI ResetSystem(EFI_RESET_TYPE type, EFI_STATUS status, UINTN, VOID *) {
  CheckTpl("ResetSystem", TPL_HIGH_LEVEL);
  Platform::Current().Reset(type, status);
}

EFI_STATUS EFIAPI ConvertPointer(UINTN disposition, VOID **address) {
  Platform &platform = Platform::Current();
  return platform.Core().VirtualAddresses().Convert(disposition, address, platform.Actor());
}

// Only after ExitBootServices, and once. The map itself is not read: conversion is
// the identity on the host (see virtual_address.h).
EFI_STATUS EFIAPI SetVirtualAddressMap(UINTN, UINTN, UINT32, EFI_MEMORY_DESCRIPTOR *) {
  if (!AtRuntime()) return EFI_UNSUPPORTED;
  return Platform::Current().Core().SetVirtualAddressMap();
}

EFI_STATUS EFIAPI GetNextHighMonotonicCount(UINT32 *count) {
  if (count == nullptr) return EFI_INVALID_PARAMETER;
  *count = Platform::Current().Core().NextHighMonotonicCount();
  return EFI_SUCCESS;
}

constexpr char kGetTime[] = "GetTime";
constexpr char kSetTime[] = "SetTime";
constexpr char kGetWakeupTime[] = "GetWakeupTime";
constexpr char kSetWakeupTime[] = "SetWakeupTime";
constexpr char kUpdateCapsule[] = "UpdateCapsule";
constexpr char kQueryCapsuleCapabilities[] = "QueryCapsuleCapabilities";

}  // namespace

EFI_RUNTIME_SERVICES *BuildRuntimeServices(Arena &arena) {
  auto *table = arena.NewFirmware<EFI_RUNTIME_SERVICES>(EfiRuntimeServicesData);
  table->Hdr.Signature = EFI_RUNTIME_SERVICES_SIGNATURE;
  table->Hdr.Revision = EFI_2_70_SYSTEM_TABLE_REVISION;
  table->Hdr.HeaderSize = sizeof(EFI_RUNTIME_SERVICES);
  // Not modelled yet: the RTC behind the time services belongs to the CMOS model.
  table->GetTime = NotModelled<kGetTime, EFI_TIME *, VOID *>;
  table->SetTime = NotModelledSlot<kSetTime, EFI_TIME *>();
  table->GetWakeupTime = NotModelledSlot<kGetWakeupTime, BOOLEAN *, BOOLEAN *, EFI_TIME *>();
  table->SetWakeupTime = NotModelledSlot<kSetWakeupTime, BOOLEAN, EFI_TIME *>();
  table->SetVirtualAddressMap = reinterpret_cast<VOID *>(&SetVirtualAddressMap);
  table->ConvertPointer = ConvertPointer;
  table->GetVariable = GetVariable;
  table->GetNextVariableName = GetNextVariableName;
  table->SetVariable = SetVariable;
  table->GetNextHighMonotonicCount = reinterpret_cast<VOID *>(&GetNextHighMonotonicCount);
  table->ResetSystem = ResetSystem;
  table->UpdateCapsule = NotModelledSlot<kUpdateCapsule, VOID **, UINTN, EFI_PHYSICAL_ADDRESS>();
  table->QueryCapsuleCapabilities = NotModelledSlot<kQueryCapsuleCapabilities, VOID **, UINTN, UINT64 *, UINT32 *>();
  table->QueryVariableInfo = QueryVariableInfo;
  return table;
}

}  // namespace sim
