// The firmware core of one boot: simulated memory, events, the protocol database,
// configuration tables, the system table with its service tables, the HOB list, DXE
// services and the SMM entry points. Everything a driver is handed lies in the arena.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform_sim/firmware/address_fixup.h"
#include "platform_sim/firmware/events.h"
#include "platform_sim/firmware/memory_space_map.h"
#include "platform_sim/firmware/protocol_database.h"
#include "platform_sim/firmware/virtual_address.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/profile/platform_profile.h"
#include "platform_sim/smm/lock_box_store.h"
#include "platform_sim/smm/smm_communication.h"
#include "platform_sim/smm/smm_core.h"
#include "platform_sim/smm/smram_access.h"
#include "platform_sim/smm/sx_dispatcher.h"
#include "runtime/base/services.h"
#include "runtime/uefi/pcd.h"
#include "runtime/uefi/system_table.h"

namespace sim {

class Platform;
class HiiModel;
class StorageBus;

class FirmwareCore {
 public:
  FirmwareCore(Platform &platform, const PlatformProfile &profile);
  ~FirmwareCore();
  FirmwareCore(const FirmwareCore &) = delete;
  FirmwareCore &operator=(const FirmwareCore &) = delete;

  Arena &Memory() { return arena_; }
  EventManager &Events() { return events_; }
  ProtocolDatabase &Protocols() { return protocols_; }
  // The SMM protocol database is separate from the boot-services one.
  ProtocolDatabase &SmmProtocols() { return smmProtocols_; }
  EFI_SYSTEM_TABLE *SystemTable() { return systemTable_; }
  // The boot services table (still there after ExitBootServices, though no longer in
  // the system table and every call into it is a fault).
  EFI_BOOT_SERVICES *BootServices() { return bootServices_; }
  EFI_RUNTIME_SERVICES *RuntimeServices() { return systemTable_->RuntimeServices; }

  // Installs (or replaces, or with a null table removes) a configuration table.
  EFI_STATUS InstallConfigurationTable(const EFI_GUID &guid, void *table);
  void *FindConfigurationTable(const EFI_GUID &guid) const;

  // Installs an interface on a new handle on behalf of the platform (or a test).
  EFI_HANDLE InstallProtocol(const EFI_GUID &guid, void *interface);
  // The variable services announce that variables can be written.
  void InstallVariableWriteArch();

  // ExitBootServices: the map key must be the current one (EFI_INVALID_PARAMETER
  // otherwise); the exit-boot-services group runs, then boot services are gone.
  EFI_STATUS ExitBootServices(UINTN mapKey);
  bool BootServicesExited() const { return bootServicesExited_; }
  // Whether a pointer may survive the change to virtual addressing: it points into
  // runtime memory, a runtime image, or MMIO marked EFI_MEMORY_RUNTIME.
  bool IsRuntimeAddress(uint64_t address) const;
  uint64_t NextMonotonicCount() { return ++monotonicCount_; }
  uint32_t NextHighMonotonicCount();

  // Lookups and publications in call order ("LocateProtocol HiiString", ...), for
  // checking the order in which images ask for things.
  std::vector<std::string> &CallLog() { return callLog_; }

  // The GCD memory space map behind the DXE services.
  MemorySpaceMap &MemorySpace() { return memorySpace_; }

  bool InSmm() const { return smm_.Active(); }
  void SetInSmm(bool inSmm) { smm_.SetActive(inSmm); }
  EFI_SMM_SYSTEM_TABLE2 *Smst() { return smst_; }
  // SMM mode, the SMM protocol notifications, SMI handlers and SMM faults.
  SmmCore &Smm() { return smm_; }
  // The chipset's Sx dispatcher (installed with the SMM base).
  SxDispatcher &SxDispatch() { return sxDispatch_; }
  // SmmInstallConfigurationTable: adds, replaces or (null table) removes an SMST entry.
  EFI_STATUS InstallSmmConfigurationTable(const EFI_GUID &guid, void *table, UINTN size);
  // ExitBootServices: from here on a boot service call is a recorded fault.
  void HandOverToOperatingSystem();

  // The platform's pointer registry, and the change to virtual addressing: signals
  // the virtual-address-change group, then converts every registered variable.
  // EFI_UNSUPPORTED when the switch has already happened.
  AddressFixupRegistry &AddressFixups() { return addressFixups_; }
  void InstallAddressFixup();
  VirtualAddressSwitch &VirtualAddresses() { return virtualAddresses_; }
  EFI_STATUS SetVirtualAddressMap();

  // SMM: SMRAM access, the communication protocol and its lock-box handler, and the
  // DXE SMM ready-to-lock point (installed by the test or the simulator).
  SmramAccess &Smram() { return smram_; }
  LockBoxStore &LockBoxes() { return lockBoxes_; }
  SmmCommunication &Communication() { return communication_; }
  void InstallSmmReadyToLock();
  // The HII database behind the HII String and Database protocols (null without them).
  HiiModel *Hii() { return hii_.get(); }
  // The storage models of this boot (made on first use; none until a story connects some).
  StorageBus &Storage();

 private:
  void BuildHobList(const PlatformProfile &profile);
  void PublishConfigurationTables();
  void DescribeMemorySpace();

  Platform &platform_;
  Arena arena_;
  EventManager events_;
  ProtocolDatabase protocols_;
  ProtocolDatabase smmProtocols_;
  EFI_SYSTEM_TABLE *systemTable_ = nullptr;
  EFI_BOOT_SERVICES *bootServices_ = nullptr;
  bool bootServicesExited_ = false;
  uint64_t monotonicCount_ = 0;
  std::vector<EFI_CONFIGURATION_TABLE> tables_;
  EFI_SMM_SYSTEM_TABLE2 *smst_ = nullptr;
  SmmCore smm_;
  SxDispatcher sxDispatch_;
  std::vector<EFI_CONFIGURATION_TABLE> smmTables_;
  std::vector<std::string> callLog_;
  MemorySpaceMap memorySpace_;
  AddressFixupRegistry addressFixups_;
  VirtualAddressSwitch virtualAddresses_;
  SmramAccess smram_;
  LockBoxStore lockBoxes_;
  SmmCommunication communication_;
  std::unique_ptr<HiiModel> hii_;
  std::unique_ptr<StorageBus> storage_;
};

// Service tables filled with the platform's entry points (firmware/*_services.cpp).
EFI_BOOT_SERVICES *BuildBootServices(Arena &arena);
EFI_RUNTIME_SERVICES *BuildRuntimeServices(Arena &arena);
EFI_DXE_SERVICES *BuildDxeServices(Arena &arena);
// The five HII protocols: String and Database over the returned model, the other three
// as full-size interfaces whose members are not modelled.
std::unique_ptr<HiiModel> InstallHiiProtocols(FirmwareCore &core, Arena &arena);
EFI_SMM_SYSTEM_TABLE2 *BuildSmmSystemTable(Arena &arena);
// Replaces every boot service with one that records a fault and does nothing.
EFI_SMM_BASE2_PROTOCOL *BuildSmmBase2(Arena &arena);
PCD_PROTOCOL *BuildPcdProtocol(Arena &arena);
EFI_PCD_PROTOCOL *BuildEfiPcdProtocol(Arena &arena);
// Either PCD information protocol: only the SKU query, as the images never call it.
void *BuildPcdInfoProtocol(Arena &arena);

}  // namespace sim
