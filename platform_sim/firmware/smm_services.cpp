// The SMM entry points: the SMM base and the SMM system table, every member filled (the
// ones the platform does not model record a fault).
#include <cstdio>
#include <cstring>
#include <vector>

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

SmmCore &Smm() { return Core().Smm(); }

// SMRAM pool and pages hold SMM code and data only.
bool SmramType(EFI_MEMORY_TYPE type) { return type == EfiRuntimeServicesCode || type == EfiRuntimeServicesData; }

EFI_STATUS EFIAPI SmmAllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  if (buffer == nullptr || !SmramType(type)) return EFI_INVALID_PARAMETER;
  *buffer = Core().Memory().AllocatePool(type, size, Region::Smram);
  return *buffer == nullptr ? EFI_OUT_OF_RESOURCES : EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmFreePool(VOID *buffer) {
  if (!Core().Memory().InSmram(reinterpret_cast<uint64_t>(buffer))) return EFI_INVALID_PARAMETER;
  return Core().Memory().FreePool(buffer);
}

EFI_STATUS EFIAPI SmmAllocatePages(EFI_ALLOCATE_TYPE type, EFI_MEMORY_TYPE memoryType, UINTN pages,
                                   EFI_PHYSICAL_ADDRESS *memory) {
  if (memory == nullptr || type >= MaxAllocateType || !SmramType(memoryType)) return EFI_INVALID_PARAMETER;
  auto address = Core().Memory().AllocatePages(type, memoryType, pages, *memory, Region::Smram);
  if (!address) return type == AllocateAddress ? EFI_NOT_FOUND : EFI_OUT_OF_RESOURCES;
  *memory = *address;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmFreePages(EFI_PHYSICAL_ADDRESS memory, UINTN pages) {
  if (!Core().Memory().InSmram(memory)) return EFI_NOT_FOUND;
  return Core().Memory().FreePages(memory, pages);
}

EFI_STATUS EFIAPI SmmInstallConfigurationTable(CONST EFI_SMM_SYSTEM_TABLE2 *, CONST EFI_GUID *guid, VOID *table,
                                               UINTN size) {
  if (guid == nullptr) return EFI_INVALID_PARAMETER;
  return Core().InstallSmmConfigurationTable(*guid, table, size);
}

EFI_STATUS EFIAPI SmmInstallProtocolInterface(EFI_HANDLE *handle, EFI_GUID *protocol, EFI_INTERFACE_TYPE type,
                                              VOID *interface) {
  if (protocol == nullptr || type != EFI_NATIVE_INTERFACE) return EFI_INVALID_PARAMETER;
  return Smm().Install(handle, *protocol, interface, Platform::Current().Actor());
}

EFI_STATUS EFIAPI SmmUninstallProtocolInterface(EFI_HANDLE handle, EFI_GUID *protocol, VOID *interface) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Core().SmmProtocols().Uninstall(handle, *protocol, interface);
}

EFI_STATUS EFIAPI SmmHandleProtocol(EFI_HANDLE handle, EFI_GUID *protocol, VOID **interface) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Core().SmmProtocols().Handle(handle, *protocol, interface);
}

EFI_STATUS EFIAPI SmmRegisterProtocolNotify(CONST EFI_GUID *protocol, EFI_SMM_NOTIFY_FN function, VOID **registration) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Smm().RegisterNotify(*protocol, function, registration);
}

EFI_STATUS EFIAPI SmmLocateHandle(EFI_LOCATE_SEARCH_TYPE searchType, EFI_GUID *protocol, VOID *, UINTN *bufferSize,
                                  EFI_HANDLE *buffer) {
  if (bufferSize == nullptr) return EFI_INVALID_PARAMETER;
  std::vector<EFI_HANDLE> handles;
  if (searchType == ByProtocol) {
    if (protocol == nullptr) return EFI_INVALID_PARAMETER;
    handles = Core().SmmProtocols().HandlesWith(*protocol);
  } else if (searchType == AllHandles) {
    for (const HandleRecord &record : Core().SmmProtocols().Handles()) handles.push_back(record.handle);
  } else {
    Smm().Fault("SmmLocateHandle by notify registration is not modelled");
    return EFI_UNSUPPORTED;
  }
  if (handles.empty()) return EFI_NOT_FOUND;
  UINTN needed = handles.size() * sizeof(EFI_HANDLE);
  if (*bufferSize < needed) {
    *bufferSize = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (buffer == nullptr) return EFI_INVALID_PARAMETER;
  std::memcpy(buffer, handles.data(), needed);
  *bufferSize = needed;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmLocateProtocol(EFI_GUID *protocol, VOID *registration, VOID **interface) {
  if (protocol == nullptr) return EFI_INVALID_PARAMETER;
  return Core().SmmProtocols().Locate(*protocol, registration, interface);
}

EFI_STATUS EFIAPI SmiManage(CONST EFI_GUID *type, CONST VOID *context, VOID *commBuffer, UINTN *commBufferSize) {
  return Smm().Manage(type, context, commBuffer, commBufferSize);
}

EFI_STATUS EFIAPI SmiHandlerRegister(EFI_SMM_HANDLER_ENTRY_POINT2 handler, CONST EFI_GUID *type, EFI_HANDLE *dispatch) {
  return Smm().RegisterHandler(handler, type, dispatch);
}

EFI_STATUS EFIAPI SmiHandlerUnRegister(EFI_HANDLE dispatch) { return Smm().UnregisterHandler(dispatch); }

// Members this platform does not model: a call is the image's fault to see, not a crash.
EFI_STATUS Unmodelled(const char *member) {
  Smm().Fault(std::string("SMST ") + member + " is not modelled");
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI SmmIoMemRead(CONST EFI_SMM_CPU_IO2_PROTOCOL *, UINT32, UINT64, UINTN, VOID *) {
  return Unmodelled("SmmIo.Mem.Read");
}
EFI_STATUS EFIAPI SmmIoMemWrite(CONST EFI_SMM_CPU_IO2_PROTOCOL *, UINT32, UINT64, UINTN, VOID *) {
  return Unmodelled("SmmIo.Mem.Write");
}
EFI_STATUS EFIAPI SmmIoIoRead(CONST EFI_SMM_CPU_IO2_PROTOCOL *, UINT32, UINT64, UINTN, VOID *) {
  return Unmodelled("SmmIo.Io.Read");
}
EFI_STATUS EFIAPI SmmIoIoWrite(CONST EFI_SMM_CPU_IO2_PROTOCOL *, UINT32, UINT64, UINTN, VOID *) {
  return Unmodelled("SmmIo.Io.Write");
}
EFI_STATUS EFIAPI SmmStartupThisAp(EFI_AP_PROCEDURE, UINTN, VOID *) { return Unmodelled("SmmStartupThisAp"); }

}  // namespace

EFI_SMM_SYSTEM_TABLE2 *BuildSmmSystemTable(Arena &arena) {
  auto *table = arena.NewSmmFirmware<EFI_SMM_SYSTEM_TABLE2>();
  table->Hdr.Signature = SMM_SMST_SIGNATURE;
  table->Hdr.HeaderSize = sizeof(EFI_SMM_SYSTEM_TABLE2);
  static const char16_t kVendor[] = u"platform_sim";
  auto *vendor = static_cast<CHAR16 *>(arena.AllocateFirmware(sizeof(kVendor), EfiRuntimeServicesData, Region::Smram));
  std::memcpy(vendor, kVendor, sizeof(kVendor));
  table->SmmFirmwareVendor = vendor;
  table->SmmFirmwareRevision = 0x00010000;
  table->SmmInstallConfigurationTable = SmmInstallConfigurationTable;
  table->SmmIo.Mem.Read = SmmIoMemRead;
  table->SmmIo.Mem.Write = SmmIoMemWrite;
  table->SmmIo.Io.Read = SmmIoIoRead;
  table->SmmIo.Io.Write = SmmIoIoWrite;
  table->SmmAllocatePool = SmmAllocatePool;
  table->SmmFreePool = SmmFreePool;
  table->SmmAllocatePages = SmmAllocatePages;
  table->SmmFreePages = SmmFreePages;
  table->SmmStartupThisAp = SmmStartupThisAp;
  // One processor, with a save-state area.
  table->CurrentlyExecutingCpu = 0;
  table->NumberOfCpus = 1;
  table->CpuSaveStateSize = arena.NewSmmFirmware<UINTN>();
  *table->CpuSaveStateSize = 0x400;
  table->CpuSaveState = arena.NewSmmFirmware<VOID *>();
  *table->CpuSaveState = arena.AllocateFirmware(0x400, EfiRuntimeServicesData, Region::Smram);
  table->NumberOfTableEntries = 0;
  table->SmmConfigurationTable = nullptr;
  table->SmmInstallProtocolInterface = SmmInstallProtocolInterface;
  table->SmmUninstallProtocolInterface = SmmUninstallProtocolInterface;
  table->SmmHandleProtocol = SmmHandleProtocol;
  table->SmmRegisterProtocolNotify = SmmRegisterProtocolNotify;
  table->SmmLocateHandle = SmmLocateHandle;
  table->SmmLocateProtocol = SmmLocateProtocol;
  table->SmiManage = SmiManage;
  table->SmiHandlerRegister = SmiHandlerRegister;
  table->SmiHandlerUnRegister = SmiHandlerUnRegister;
  return table;
}

EFI_SMM_BASE2_PROTOCOL *BuildSmmBase2(Arena &arena) {
  auto *protocol = arena.NewFirmware<EFI_SMM_BASE2_PROTOCOL>();
  protocol->InSmm = InSmm;
  protocol->GetSmstLocation = GetSmstLocation;
  return protocol;
}

}  // namespace sim
