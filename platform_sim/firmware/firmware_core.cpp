#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/hii/hii_model.h"
#include "platform_sim/storage/storage_models.h"

#include <algorithm>
#include <cstring>

#include "platform_sim/firmware/flash_access.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/flash/flash_protocols.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/hob.h"
#include "runtime/uefi/status.h"

namespace sim {

FirmwareCore::FirmwareCore(Platform &platform, const PlatformProfile &profile)
    : platform_(platform),
      events_(arena_,
              [&platform](const EventRecord &event) {
                // Real firmware would call into freed code. A host image cannot be made to
                // fault safely, so the call is refused and recorded; on the emulated CPU the
                // image's memory is freed and the call faults for real, which is recorded.
                if (platform.Images().IsUnloaded(reinterpret_cast<const void *>(event.notify)) &&
                    !platform.Emulated()) {
                  platform.Fault("notify function of unloaded image " + event.owner + " not called");
                  return;
                }
                ActorScope actor(platform, event.owner);
                try {
                  platform.Call(event.notify, event.id, event.context);
                } catch (const ImageFault &fault) {
                  platform.Fault("notify function of " + event.owner + " faulted: " + fault.what());
                }
              }),
      protocols_(
          arena_, [this](EFI_EVENT event) { events_.Signal(event); },
          [&platform](const EFI_GUID &guid) { platform.Record(EffectKind::ProtocolInstall, GuidName(guid)); }),
      smmProtocols_(
          arena_, [](EFI_EVENT) {},
          [&platform](const EFI_GUID &guid) { platform.Record(EffectKind::ProtocolInstall, "SMM " + GuidName(guid)); }),
      smm_(platform, arena_, smmProtocols_), sxDispatch_(platform, arena_, profile.sxUnsupported),
      addressFixups_([this](uint64_t address) {
        // A pointer variable lies in an image or in memory handed out by the platform.
        return !platform_.Images().OwnerOf(reinterpret_cast<const void *>(address)).empty() ||
               arena_.Find(address) != nullptr;
      }),
      smram_(arena_), lockBoxes_(arena_), communication_(lockBoxes_) {
  // The system table, its vendor string and its configuration table array stay mapped
  // for the runtime, as in common firmware.
  systemTable_ = arena_.NewFirmware<EFI_SYSTEM_TABLE>(EfiRuntimeServicesData);
  systemTable_->Hdr.Signature = EFI_SYSTEM_TABLE_SIGNATURE;
  systemTable_->Hdr.Revision = EFI_2_70_SYSTEM_TABLE_REVISION;
  systemTable_->Hdr.HeaderSize = sizeof(EFI_SYSTEM_TABLE);
  static const char16_t kVendor[] = u"platform_sim";
  auto *vendor = static_cast<CHAR16 *>(arena_.AllocateFirmware(sizeof(kVendor), EfiRuntimeServicesData));
  std::memcpy(vendor, kVendor, sizeof(kVendor));
  systemTable_->FirmwareVendor = vendor;
  bootServices_ = BuildBootServices(arena_);
  systemTable_->BootServices = bootServices_;
  systemTable_->RuntimeServices = BuildRuntimeServices(arena_);
  // Installations hold the protocol lock at TPL_NOTIFY: what they signal runs when it
  // is released, highest TPL first.
  protocols_.UseLock({[this] { return events_.Raise(TPL_NOTIFY); }, [this](EFI_TPL old) { events_.Restore(old); }});
  virtualAddresses_.SetRuntimeCheck([this](uint64_t address) { return IsRuntimeAddress(address); });

  if (profile.hobList) BuildHobList(profile);
  if (profile.dxeServices) tables_.push_back({gEfiDxeServicesTableGuid, BuildDxeServices(arena_)});
  if (profile.tscFrequencyTable) {
    auto *frequency = arena_.NewFirmware<uint64_t>();
    *frequency = *profile.tscFrequencyTable;
    tables_.push_back({gTscFrequencyGuid, frequency});
  }
  PublishConfigurationTables();

  if (profile.smmBase) {
    smst_ = BuildSmmSystemTable(arena_);
    InstallProtocol(gEfiSmmBase2ProtocolGuid, BuildSmmBase2(arena_));
    sxDispatch_.Install(smm_);
  }
  if (profile.pcdProtocols) {
    InstallProtocol(gPcdProtocolGuid, BuildPcdProtocol(arena_));
    InstallProtocol(gEfiPcdProtocolGuid, BuildEfiPcdProtocol(arena_));
  }
  if (profile.pcdInfoProtocols) {
    InstallProtocol(gPcdInfoProtocolGuid, BuildPcdInfoProtocol(arena_));
    InstallProtocol(gEfiGetPcdInfoProtocolGuid, BuildPcdInfoProtocol(arena_));
  }
  if (profile.smmAccess) InstallProtocol(gEfiSmmAccess2ProtocolGuid, BuildSmmAccess2(arena_));
  if (profile.smmCommunication) InstallProtocol(gEfiSmmCommunicationProtocolGuid, BuildSmmCommunication(arena_));
  if (profile.addressFixupAtBoot) InstallAddressFixup();
  if (profile.flashAccessProtocol) InstallProtocol(gFlashAccessProtocolGuid, BuildFlashAccessProtocol(arena_));
  DescribeMemorySpace();
  InstallFlashProtocols(platform, *this, profile);
  if (profile.hiiProtocols) hii_ = InstallHiiProtocols(*this, arena_);
  if (profile.variableWriteAtBoot) InstallVariableWriteArch();
}

FirmwareCore::~FirmwareCore() = default;

StorageBus &FirmwareCore::Storage() {
  if (!storage_) storage_ = std::make_unique<StorageBus>(platform_);
  return *storage_;
}

// A hand-off information HOB, the GUID HOBs the profile asks for, and the end HOB.
void FirmwareCore::BuildHobList(const PlatformProfile &profile) {
  std::vector<uint8_t> list;
  auto append = [&list](const void *data, size_t size) {
    const auto *bytes = static_cast<const uint8_t *>(data);
    list.insert(list.end(), bytes, bytes + size);
  };
  EFI_HOB_GENERIC_HEADER handoff{EFI_HOB_TYPE_HANDOFF, 56, 0};
  append(&handoff, sizeof(handoff));
  list.resize(list.size() + 56 - sizeof(handoff), 0);
  if (profile.tscFrequencyHob) {
    EFI_HOB_GUID_TYPE hob{{EFI_HOB_TYPE_GUID_EXTENSION, sizeof(EFI_HOB_GUID_TYPE) + 8, 0}, gTscFrequencyGuid};
    append(&hob, sizeof(hob));
    append(&*profile.tscFrequencyHob, 8);
  }
  EFI_HOB_GENERIC_HEADER end{EFI_HOB_TYPE_END_OF_HOB_LIST, sizeof(EFI_HOB_GENERIC_HEADER), 0};
  append(&end, sizeof(end));
  void *hobs = arena_.AllocateFirmware(list.size());
  std::memcpy(hobs, list.data(), list.size());
  tables_.push_back({gEfiHobListGuid, hobs});
}

// Memory, the PCI Express window, the SPI controller's registers and the boot flash.
void FirmwareCore::DescribeMemorySpace() {
  const uint64_t cacheable = EFI_MEMORY_UC | EFI_MEMORY_WC | EFI_MEMORY_WT | EFI_MEMORY_WB | EFI_MEMORY_XP;
  memorySpace_.Add(Arena::kBase, Arena::kSize, EfiGcdMemoryTypeSystemMemory, cacheable | EFI_MEMORY_RUNTIME,
                   EFI_MEMORY_WB);
  memorySpace_.Add(PciExpressSpace::kBase, PciExpressSpace::kSize, EfiGcdMemoryTypeMemoryMappedIo,
                   EFI_MEMORY_UC | EFI_MEMORY_RUNTIME, EFI_MEMORY_UC);
  FlashHardware &flash = platform_.Flash();
  if (flash.Spi() != nullptr) {
    // The chipset marks the SPI registers for runtime use, as runtime flash access needs.
    memorySpace_.Add(platform_.Profile().flash.spiBar, SpiController::kRegisterSize, EfiGcdMemoryTypeMemoryMappedIo,
                     EFI_MEMORY_UC | EFI_MEMORY_RUNTIME, EFI_MEMORY_UC | EFI_MEMORY_RUNTIME);
  }
  if (flash.Present()) {
    memorySpace_.Add(flash.WindowBase(), flash.WindowSize(), EfiGcdMemoryTypeMemoryMappedIo,
                     EFI_MEMORY_UC | EFI_MEMORY_WT | EFI_MEMORY_WP | EFI_MEMORY_RUNTIME, EFI_MEMORY_UC);
  }
}

void FirmwareCore::PublishConfigurationTables() {
  auto *array = static_cast<EFI_CONFIGURATION_TABLE *>(arena_.AllocateFirmware(
      sizeof(EFI_CONFIGURATION_TABLE) * (tables_.empty() ? 1 : tables_.size()), EfiRuntimeServicesData));
  if (!tables_.empty()) std::memcpy(array, tables_.data(), sizeof(EFI_CONFIGURATION_TABLE) * tables_.size());
  systemTable_->ConfigurationTable = array;
  systemTable_->NumberOfTableEntries = tables_.size();
}

EFI_STATUS FirmwareCore::InstallConfigurationTable(const EFI_GUID &guid, void *table) {
  for (size_t index = 0; index < tables_.size(); ++index) {
    if (!SameGuid(tables_[index].VendorGuid, guid)) continue;
    if (table == nullptr) {
      tables_.erase(tables_.begin() + static_cast<long>(index));
    } else {
      tables_[index].VendorTable = table;
    }
    PublishConfigurationTables();
    return EFI_SUCCESS;
  }
  if (table == nullptr) return EFI_NOT_FOUND;
  tables_.push_back({guid, table});
  PublishConfigurationTables();
  return EFI_SUCCESS;
}

void *FirmwareCore::FindConfigurationTable(const EFI_GUID &guid) const {
  for (const EFI_CONFIGURATION_TABLE &entry : tables_) {
    if (SameGuid(entry.VendorGuid, guid)) return entry.VendorTable;
  }
  return nullptr;
}

EFI_HANDLE FirmwareCore::InstallProtocol(const EFI_GUID &guid, void *interface) {
  EFI_HANDLE handle = nullptr;
  protocols_.Install(&handle, guid, interface, platform_.Actor());
  return handle;
}

void FirmwareCore::InstallVariableWriteArch() {
  ActorScope actor(platform_, "variable services");
  InstallProtocol(gEfiVariableWriteArchProtocolGuid, nullptr);
}

void FirmwareCore::InstallAddressFixup() {
  ActorScope actor(platform_, "address fix-up");
  InstallProtocol(gAddressFixupProtocolGuid, BuildAddressFixupProtocol(arena_));
}

EFI_STATUS FirmwareCore::SetVirtualAddressMap() {
  if (virtualAddresses_.State() != VirtualAddressSwitch::Phase::Physical) return EFI_UNSUPPORTED;
  virtualAddresses_.Begin();
  events_.SignalGroup(gEfiEventVirtualAddressChangeGuid);
  {
    ActorScope actor(platform_, "address fix-up");
    for (const PointerRegistration &registration : addressFixups_.Registrations()) {
      virtualAddresses_.Convert(0, reinterpret_cast<void **>(registration.variable), registration.owner);
    }
  }
  virtualAddresses_.Finish();
  return EFI_SUCCESS;
}

EFI_STATUS FirmwareCore::ExitBootServices(UINTN mapKey) {
  if (bootServicesExited_) return EFI_INVALID_PARAMETER;
  if (mapKey != arena_.MapKey()) return EFI_INVALID_PARAMETER;
  events_.SignalGroup(gExitBootServicesGroupGuid);
  bootServicesExited_ = true;
  // As the specification asks: the boot-time fields of the system table are cleared.
  systemTable_->BootServices = nullptr;
  systemTable_->ConsoleInHandle = nullptr;
  systemTable_->ConIn = nullptr;
  systemTable_->ConsoleOutHandle = nullptr;
  systemTable_->ConOut = nullptr;
  systemTable_->StandardErrorHandle = nullptr;
  systemTable_->StdErr = nullptr;
  platform_.Record(EffectKind::Note, "boot services exited");
  return EFI_SUCCESS;
}

bool FirmwareCore::IsRuntimeAddress(uint64_t address) const {
  if (const Allocation *block = arena_.Find(address)) return Arena::RuntimeType(block->type);
  if (const LoadedImage *image = platform_.Images().ImageAt(reinterpret_cast<const void *>(address))) {
    return image->loadedImage != nullptr && image->loadedImage->ImageCodeType == EfiRuntimeServicesCode;
  }
  const MemorySpaceRange *range = memorySpace_.Find(address);
  return range != nullptr && range->type == EfiGcdMemoryTypeMemoryMappedIo &&
         (range->attributes & EFI_MEMORY_RUNTIME) != 0;
}

// The high 32 bits of the monotonic count: each call moves them on, as after a reset.
uint32_t FirmwareCore::NextHighMonotonicCount() {
  monotonicCount_ = ((monotonicCount_ >> 32) + 1) << 32;
  return static_cast<uint32_t>(monotonicCount_ >> 32);
}

EFI_STATUS FirmwareCore::InstallSmmConfigurationTable(const EFI_GUID &guid, void *table, UINTN) {
  if (smst_ == nullptr) return EFI_UNSUPPORTED;
  auto it = std::find_if(smmTables_.begin(), smmTables_.end(),
                         [&](const EFI_CONFIGURATION_TABLE &entry) { return SameGuid(entry.VendorGuid, guid); });
  if (table == nullptr) {
    if (it == smmTables_.end()) return EFI_NOT_FOUND;
    smmTables_.erase(it);
  } else if (it != smmTables_.end()) {
    it->VendorTable = table;
  } else {
    smmTables_.push_back({guid, table});
  }
  auto *array = static_cast<EFI_CONFIGURATION_TABLE *>(
      arena_.AllocateFirmware(sizeof(EFI_CONFIGURATION_TABLE) * (smmTables_.empty() ? 1 : smmTables_.size()),
                              EfiRuntimeServicesData, Region::Smram));
  if (!smmTables_.empty()) std::memcpy(array, smmTables_.data(), sizeof(EFI_CONFIGURATION_TABLE) * smmTables_.size());
  smst_->SmmConfigurationTable = array;
  smst_->NumberOfTableEntries = smmTables_.size();
  return EFI_SUCCESS;
}

void FirmwareCore::HandOverToOperatingSystem() {
  if (smm_.OperatingSystemOwnsMachine()) return;
  smm_.SetOperatingSystemOwnsMachine();
  platform_.Record(EffectKind::Note, "the operating system takes over");
  // From here on a boot service call, from SMM at an SMI or from anywhere, is a fault.
  ExitBootServices(arena_.MapKey());
}

void FirmwareCore::InstallSmmReadyToLock() {
  ActorScope actor(platform_, "SMM core");
  InstallProtocol(gEfiDxeSmmReadyToLockProtocolGuid, nullptr);
}

}  // namespace sim
