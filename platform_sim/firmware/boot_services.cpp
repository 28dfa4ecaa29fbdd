// The boot services table: TPL and events, configuration tables, time and the other
// small services here; memory and protocol services in their own files. Every slot is
// filled; a service the platform does not model records a fault and answers
// EFI_UNSUPPORTED.
#include <cstring>

#include "platform_sim/firmware/boot_service_entries.h"
#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/boot_services.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

FirmwareCore &Core() { return Platform::Current().Core(); }

std::string Tpl(EFI_TPL tpl) { return std::to_string(static_cast<unsigned long long>(tpl)); }

// Raising to TPL_HIGH_LEVEL masks interrupts and restoring below it unmasks them, as
// common firmware does.
EFI_TPL EFIAPI RaiseTpl(EFI_TPL tpl) {
  EventManager &events = Core().Events();
  EFI_TPL old = events.CurrentTpl();
  if (!EnterBootService("RaiseTPL", TPL_HIGH_LEVEL)) return old;
  if (tpl < old || tpl > TPL_HIGH_LEVEL) {
    // The level stays where it is: lowering it here would skip the notifications that
    // RestoreTPL owes.
    Platform::Current().Finding("RaiseTPL(" + Tpl(tpl) + ") at TPL " + Tpl(old) + ": not a raise");
    return old;
  }
  if (tpl == TPL_HIGH_LEVEL && old < TPL_HIGH_LEVEL) Platform::Current().Processor().SetInterrupts(false);
  return events.Raise(tpl);
}

VOID EFIAPI RestoreTpl(EFI_TPL tpl) {
  EventManager &events = Core().Events();
  EFI_TPL current = events.CurrentTpl();
  if (!EnterBootService("RestoreTPL", TPL_HIGH_LEVEL)) return;
  if (tpl > current) {
    Platform::Current().Finding("RestoreTPL(" + Tpl(tpl) + ") at TPL " + Tpl(current) + ": not a restore");
    return;
  }
  if (current >= TPL_HIGH_LEVEL && tpl < TPL_HIGH_LEVEL) Platform::Current().Processor().SetInterrupts(true);
  events.Restore(tpl);
}

std::string EventOwner(EFI_EVENT_NOTIFY notify) {
  Platform &platform = Platform::Current();
  std::string owner = notify == nullptr ? "" : platform.Images().OwnerOf(reinterpret_cast<const void *>(notify));
  return owner.empty() ? platform.Actor() : owner;
}

EFI_STATUS EFIAPI CreateEvent(UINT32 type, EFI_TPL tpl, EFI_EVENT_NOTIFY notify, VOID *context, EFI_EVENT *event) {
  if (!EnterBootService("CreateEvent", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  return Core().Events().Create(type, tpl, notify, context, nullptr, EventOwner(notify), event);
}

EFI_STATUS EFIAPI CreateEventEx(UINT32 type, EFI_TPL tpl, EFI_EVENT_NOTIFY notify, CONST VOID *context,
                                CONST EFI_GUID *group, EFI_EVENT *event) {
  if (!EnterBootService("CreateEventEx", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  return Core().Events().Create(type, tpl, notify, const_cast<VOID *>(context), group, EventOwner(notify), event);
}

EFI_STATUS EFIAPI SignalEvent(EFI_EVENT event) {
  if (!EnterBootService("SignalEvent", TPL_HIGH_LEVEL)) return EFI_UNSUPPORTED;
  return Core().Events().Signal(event);
}

EFI_STATUS EFIAPI CloseEvent(EFI_EVENT event) {
  if (!EnterBootService("CloseEvent", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  EFI_STATUS status = Core().Events().Close(event);
  if (status == EFI_SUCCESS) {
    Core().Protocols().ForgetEvent(event);
    Platform::Current().Record(EffectKind::EventClosed, "event closed",
                               static_cast<uint64_t>(reinterpret_cast<uintptr_t>(event)));
  }
  return status;
}

EFI_STATUS EFIAPI InstallConfigurationTable(EFI_GUID *guid, VOID *table) {
  if (!EnterBootService("InstallConfigurationTable", TPL_NOTIFY)) return EFI_UNSUPPORTED;
  if (guid == nullptr) return EFI_INVALID_PARAMETER;
  Core().CallLog().push_back("InstallConfigurationTable " + GuidName(*guid));
  EFI_STATUS status = Core().InstallConfigurationTable(*guid, table);
  if (status == EFI_SUCCESS) Platform::Current().Record(EffectKind::ConfigTableInstall, GuidName(*guid));
  return status;
}

EFI_STATUS EFIAPI ExitBootServices(EFI_HANDLE, UINTN mapKey) {
  if (!EnterBootService("ExitBootServices", TPL_APPLICATION)) return EFI_UNSUPPORTED;
  return Core().ExitBootServices(mapKey);
}

EFI_STATUS EFIAPI GetNextMonotonicCount(UINT64 *count) {
  if (!EnterBootService("GetNextMonotonicCount", TPL_HIGH_LEVEL)) return EFI_UNSUPPORTED;
  if (count == nullptr) return EFI_INVALID_PARAMETER;
  *count = Core().NextMonotonicCount();
  return EFI_SUCCESS;
}

// A busy wait: virtual time moves on by the requested time, nothing else happens.
EFI_STATUS EFIAPI Stall(UINTN microseconds) {
  if (!EnterBootService("Stall", TPL_HIGH_LEVEL)) return EFI_UNSUPPORTED;
  Platform::Current().Processor().AdvanceNs(static_cast<uint64_t>(microseconds) * 1000);
  return EFI_SUCCESS;
}

// CRC-32 as UEFI uses it (IEEE 802.3, reflected, initial and final value all ones).
EFI_STATUS EFIAPI CalculateCrc32(VOID *data, UINTN size, UINT32 *crc) {
  if (!EnterBootService("CalculateCrc32", TPL_HIGH_LEVEL)) return EFI_UNSUPPORTED;
  if (data == nullptr || size == 0 || crc == nullptr) return EFI_INVALID_PARAMETER;
  uint32_t value = 0xFFFFFFFFu;
  const auto *bytes = static_cast<const uint8_t *>(data);
  for (UINTN index = 0; index < size; ++index) {
    value ^= bytes[index];
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1u)));
  }
  *crc = ~value;
  return EFI_SUCCESS;
}

VOID EFIAPI CopyMem(VOID *destination, VOID *source, UINTN length) {
  if (!EnterBootService("CopyMem", TPL_HIGH_LEVEL)) return;
  std::memmove(destination, source, length);
}

VOID EFIAPI SetMem(VOID *buffer, UINTN size, UINT8 value) {
  if (!EnterBootService("SetMem", TPL_HIGH_LEVEL)) return;
  std::memset(buffer, value, size);
}

// The services no driver here uses; their slots are filled all the same.
constexpr char kSetTimer[] = "SetTimer";
constexpr char kWaitForEvent[] = "WaitForEvent";
constexpr char kCheckEvent[] = "CheckEvent";
constexpr char kReserved[] = "Reserved";
constexpr char kLocateDevicePath[] = "LocateDevicePath";
constexpr char kLoadImage[] = "LoadImage";
constexpr char kStartImage[] = "StartImage";
constexpr char kExit[] = "Exit";
constexpr char kUnloadImage[] = "UnloadImage";
constexpr char kSetWatchdogTimer[] = "SetWatchdogTimer";
constexpr char kConnectController[] = "ConnectController";
constexpr char kDisconnectController[] = "DisconnectController";

}  // namespace

EFI_BOOT_SERVICES *BuildBootServices(Arena &arena) {
  auto *table = arena.NewFirmware<EFI_BOOT_SERVICES>();
  table->Hdr.Signature = EFI_BOOT_SERVICES_SIGNATURE;
  table->Hdr.Revision = EFI_2_70_SYSTEM_TABLE_REVISION;
  table->Hdr.HeaderSize = sizeof(EFI_BOOT_SERVICES);
  table->RaiseTPL = RaiseTpl;
  table->RestoreTPL = RestoreTpl;
  table->AllocatePages = bs::AllocatePages;
  table->FreePages = bs::FreePages;
  table->GetMemoryMap = bs::GetMemoryMap;
  table->AllocatePool = bs::AllocatePool;
  table->FreePool = bs::FreePool;
  table->CreateEvent = CreateEvent;
  // EFI_TIMER_DELAY is a 32-bit enum.
  table->SetTimer = NotModelledSlot<kSetTimer, EFI_EVENT, UINT32, UINT64>();
  table->WaitForEvent = NotModelledSlot<kWaitForEvent, UINTN, EFI_EVENT *, UINTN *>();
  table->SignalEvent = SignalEvent;
  table->CloseEvent = CloseEvent;
  table->CheckEvent = NotModelledSlot<kCheckEvent, EFI_EVENT>();
  table->InstallProtocolInterface = bs::InstallProtocolInterface;
  table->ReinstallProtocolInterface = bs::ReinstallProtocolInterface;
  table->UninstallProtocolInterface = bs::UninstallProtocolInterface;
  table->HandleProtocol = bs::HandleProtocol;
  table->Reserved = NotModelledSlot<kReserved>();
  table->RegisterProtocolNotify = bs::RegisterProtocolNotify;
  table->LocateHandle = bs::LocateHandle;
  table->LocateDevicePath = NotModelledSlot<kLocateDevicePath, EFI_GUID *, VOID **, EFI_HANDLE *>();
  table->InstallConfigurationTable = InstallConfigurationTable;
  table->LoadImage = NotModelledSlot<kLoadImage, BOOLEAN, EFI_HANDLE, VOID *, VOID *, UINTN, EFI_HANDLE *>();
  table->StartImage = NotModelledSlot<kStartImage, EFI_HANDLE, UINTN *, CHAR16 **>();
  table->Exit = NotModelledSlot<kExit, EFI_HANDLE, EFI_STATUS, UINTN, CHAR16 *>();
  table->UnloadImage = NotModelledSlot<kUnloadImage, EFI_HANDLE>();
  table->ExitBootServices = ExitBootServices;
  table->GetNextMonotonicCount = GetNextMonotonicCount;
  table->Stall = Stall;
  table->SetWatchdogTimer = NotModelledSlot<kSetWatchdogTimer, UINTN, UINT64, UINTN, CHAR16 *>();
  table->ConnectController = NotModelledSlot<kConnectController, EFI_HANDLE, EFI_HANDLE *, VOID *, BOOLEAN>();
  table->DisconnectController = NotModelledSlot<kDisconnectController, EFI_HANDLE, EFI_HANDLE, EFI_HANDLE>();
  table->OpenProtocol = bs::OpenProtocol;
  table->CloseProtocol = bs::CloseProtocol;
  table->OpenProtocolInformation = bs::OpenProtocolInformation;
  table->ProtocolsPerHandle = bs::ProtocolsPerHandle;
  table->LocateHandleBuffer = bs::LocateHandleBuffer;
  table->LocateProtocol = bs::LocateProtocol;
  table->InstallMultipleProtocolInterfaces = bs::InstallMultipleProtocolInterfaces;
  table->UninstallMultipleProtocolInterfaces = bs::UninstallMultipleProtocolInterfaces;
  table->CalculateCrc32 = CalculateCrc32;
  table->CopyMem = CopyMem;
  table->SetMem = SetMem;
  table->CreateEventEx = CreateEventEx;
  return table;
}

}  // namespace sim
