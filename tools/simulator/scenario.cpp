#include "tools/simulator/scenario.h"

#include "tools/simulator/form_story.h"

#include "platform_config/config_protocol.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/firmware/setup_component.h"
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

// Loads the driver and lets the variable services and the setup component come up
// after it, as they do on this platform. Returns false when the setup policy update
// reset the platform during the boot.
bool BootWithDriver(Platform &platform) {
  // Loaded as a runtime image so that its pointer registrations with the address
  // fix-up protocol (installed at boot by the default profile) show. The shipped image
  // is a boot-service driver: loaded as such it registers nothing (each registration
  // answers EFI_ABORTED without calling the protocol).
  platform.Load("PlatformConfigDxe", sim::LoadOptions{true, false});
  // The SMM dispatcher loads the power-event log into SMRAM; it finds the tag store
  // table that the configuration driver published and logs its start.
  platform.Load("PowerEventLogSmm", sim::LoadOptions{false, true});
  platform.Core().InstallVariableWriteArch();
  try {
    sim::SetupComponent::Publish(platform);
  } catch (const sim::PlatformReset &) {
    return false;
  }
  return true;
}

}  // namespace

bool RunDefaultScenario(Platform &platform, std::ostream &log) {
  // The first boot finds "PchSetup" out of line: the update rewrites it and resets;
  // the second boot finds it right and carries on.
  for (int boot = 0; !BootWithDriver(platform); ++boot) {
    if (boot == 2) {
      log << "the setup policy did not converge\n";
      return false;
    }
    platform.Reboot();
  }

  PLATFORM_CONFIG_PROTOCOL *config = nullptr;
  if (platform.Core().Protocols().Locate(gPlatformConfigProtocolGuid, nullptr, reinterpret_cast<void **>(&config)) !=
      EFI_SUCCESS) {
    log << "PlatformConfigProtocol is not installed\n";
    return false;
  }

  {
    ActorScope caller(platform, "caller");
    Note(platform, "LoadPlatformConfig",
         platform.Call(config->LoadPlatformConfig, config, sim::SetupComponent::LiveRecord(platform)));
    // The caller's output lives in firmware memory, where an image can write it.
    auto *override = platform.Memory().NewFirmware<UINT8>();
    *override = 0xFF;
    Note(platform, "GetCmosOverride", platform.Call(config->GetCmosOverride, config, override));
    Note(platform, "SignalEmbeddedController", platform.Call(config->SignalEmbeddedController, config));
    Note(platform, "ReservedOperation", platform.Call(config->ReservedOperation, config, 0, 0));
  }

  EndOfBoot(platform);
  return RunSleepStory(platform, log);
}

void EndOfBoot(Platform &platform) {
  // The end of DXE: the S3 boot script is closed and saved in lock boxes; then the
  // operating system switches to virtual addressing and owns the machine.
  platform.Core().InstallSmmReadyToLock();
  Note(platform, "SetVirtualAddressMap", platform.Core().SetVirtualAddressMap());
  platform.Core().HandOverToOperatingSystem();
}

bool RunSleepStory(Platform &platform, std::ostream &log) {
  // Suspend to RAM and resume: SMRAM and the driver stay; a minute passes asleep.
  platform.EnterSleepState(3);
  platform.Processor().AdvanceNs(60ull * 1000000000ull);
  platform.Pmc().Wake();
  platform.Record(EffectKind::SleepState, "S3 resume");
  // Hibernate: the machine is off until it is powered on again, an hour later.
  platform.Processor().AdvanceNs(5ull * 1000000000ull);
  platform.EnterSleepState(4);
  platform.Processor().AdvanceNs(3600ull * 1000000000ull);
  platform.Reboot();
  if (!BootWithDriver(platform)) {
    log << "the boot after hibernation reset\n";
    return false;
  }
  if (!RunFormStory(platform, log)) return false;
  EndOfBoot(platform);
  // Shut down.
  platform.Processor().AdvanceNs(90ull * 1000000000ull);
  platform.EnterSleepState(5);
  if (!platform.Trace().OfKind(EffectKind::Fault).empty()) {
    log << "faults were recorded\n";
    return false;
  }
  return true;
}

}  // namespace simulator
