#include "tools/simulator/scenario.h"

#include "platform_config/config_protocol.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace simulator {

using sim::ActorScope;
using sim::EffectKind;
using sim::Platform;

namespace {

void Note(Platform &platform, const std::string &operation, EFI_STATUS status) {
  platform.Record(EffectKind::Note, operation + " -> " + sim::StatusText(status), status);
}

}  // namespace

bool RunDefaultScenario(Platform &platform, std::ostream &log) {
  // Loaded as a runtime image so that its pointer registrations with the address
  // fix-up protocol (installed at boot by the default profile) show. The shipped image
  // is a boot-service driver: loaded as such it registers nothing (each registration
  // answers EFI_ABORTED without calling the protocol).
  platform.Load("PlatformConfigDxe", sim::LoadOptions{true, false});

  // The variable services come up after the driver: its notification writes then.
  platform.Core().InstallVariableWriteArch();

  PLATFORM_CONFIG_PROTOCOL *config = nullptr;
  if (platform.Core().Protocols().Locate(gPlatformConfigProtocolGuid, nullptr, reinterpret_cast<void **>(&config)) !=
      EFI_SUCCESS) {
    log << "PlatformConfigProtocol is not installed\n";
    return false;
  }

  ActorScope caller(platform, "caller");
  UINT8 override = 0xFF;
  Note(platform, "GetCmosOverride", config->GetCmosOverride(config, &override));
  Note(platform, "SignalEmbeddedController", config->SignalEmbeddedController(config));
  Note(platform, "ReservedOperation", config->ReservedOperation(config, 0, 0));
  auto *setup = static_cast<UINT8 *>(platform.Memory().AllocateFirmware(SETUP_CONFIG_SIZE));
  Note(platform, "UpdateSetupPolicy", config->UpdateSetupPolicy(config, setup));
  Note(platform, "LoadPlatformConfig", config->LoadPlatformConfig(config, setup));

  // The end of DXE: the S3 boot script is closed and saved in lock boxes; then the
  // operating system switches to virtual addressing.
  platform.Core().InstallSmmReadyToLock();
  Note(platform, "SetVirtualAddressMap", platform.Core().SetVirtualAddressMap());
  return true;
}

}  // namespace simulator
