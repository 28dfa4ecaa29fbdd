// What a platform is made of: its processor, its firmware tables, which protocols are
// there at boot, and the contents of its non-volatile state. Tests build one in C++;
// the simulator starts from the built-in default.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform_sim/devices/embedded_controller.h"
#include "platform_sim/engine/engine.h"
#include "platform_sim/devices/rtc.h"
#include "platform_sim/firmware/variable_store.h"
#include "platform_sim/flash/flash_profile.h"
#include "platform_sim/profile/storage_profile.h"
#include "platform_sim/smm/sx_dispatcher.h"

namespace sim {

// A driver image a boot loads, by file name without extension.
struct ProfileImage {
  std::string name;
  bool runtimeImage = false;  // loaded as a runtime driver
  bool smm = false;           // loaded into SMRAM by the SMM dispatcher
};

struct PlatformProfile {
  std::string name = "default";
  uint64_t tscHz = 2400000000ull;
  // How images run: host images, or the shipped .efi files on the emulated CPU.
  Engine engine = DefaultEngine();

  // Firmware tables.
  bool hobList = true;
  bool dxeServices = true;
  std::optional<uint64_t> tscFrequencyHob;    // a GUID HOB left by the earlier phase
  std::optional<uint64_t> tscFrequencyTable;  // a table already installed by another image
  bool hiiProtocols = true;
  bool pcdProtocols = true;
  bool flashAccessProtocol = true;
  bool flashAccessFails = false;  // ReadFlash answers EFI_DEVICE_ERROR
  // Any status ReadFlash answers instead of reading (an error, or a warning with the
  // buffer filled); unset: it reads.
  std::optional<EFI_STATUS> flashAccessStatus;
  bool smmBase = false;  // SMM base, SMST and the Sx dispatcher
  // Sleep-state registrations the Sx dispatcher refuses (EFI_UNSUPPORTED): like the
  // chipset's, it handles entries only.
  std::vector<SxCombination> sxUnsupported = {{SxS0, SxExit}, {SxS1, SxExit}, {SxS2, SxExit},
                                              {SxS3, SxExit}, {SxS4, SxExit}, {SxS5, SxExit}};
  bool pcdInfoProtocols = true;  // the two PCD information protocols
  bool smmAccess = true;         // EFI_SMM_ACCESS2_PROTOCOL over the arena's SMRAM
  bool smmCommunication = true;  // EFI_SMM_COMMUNICATION_PROTOCOL with the lock-box handler
  // AddressFixupProtocol before any driver starts; otherwise only when the test or
  // the simulator installs it (FirmwareCore::InstallAddressFixup).
  bool addressFixupAtBoot = false;
  // Dynamic PCD 0x30000 of the S3 boot-script token space, 0 at every boot.
  bool s3BootScriptPcd = true;

  // The variable-write architectural protocol: present before any driver starts, or
  // installed only when the test or simulator says so.
  bool variableWriteAtBoot = true;

  // Hardware.
  bool pitStuck = false;
  CalendarTime rtcTime{2026, 3, 14, 9, 26, 53};  // the clock when the platform is built
  bool rtcUpdateStuck = false;
  bool interruptsEnabled = true;
  std::map<uint8_t, uint8_t> cmosBank2;
  EcBehaviour ecResponsiveness = EcResponsiveness::Normal;  // mode, death after n bytes, busy at start
  std::vector<uint8_t> ecAnswers;                           // answers to successive 0x9A commands; 0x80 after
  bool pmcPresent = true;                                   // power management controller at PCI 0:31.2
  bool traceHubDisabled = false;                            // the PMC's trace-hub disable bit
  bool traceHubPresent = true;                              // the trace-hub window at 0xFE200000 answers

  std::vector<Variable> variables;

  // PCD values by token number and by token space.
  struct Pcd {
    std::optional<EFI_GUID> space;
    UINTN token = 0;
    std::vector<uint8_t> value;
    bool persistent = false;
  };
  std::vector<Pcd> pcds;

  // The drivers the simulator's boots load, in order (tests load images themselves).
  std::vector<ProfileImage> images;

  // The boot flash and its controller; none unless the profile builds one
  // (platform_sim/flash/flash_platforms.h).
  FlashProfile flash;

  // The storage controllers and drives the drive form's story brings up.
  StorageProfile storage = DefaultStorageProfile();
};

// The platform the simulator boots when the user describes none.
PlatformProfile DefaultPlatformProfile();

}  // namespace sim
