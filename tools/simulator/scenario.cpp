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

}  // namespace

// Loads the drivers and lets the variable services and the setup component come up
// after them, as they do on this platform.
bool BootWithDriver(Platform &platform) {
  // The default profile loads PlatformConfigDxe as a runtime image, so that its pointer
  // registrations with the address fix-up protocol show; then the SMM dispatcher loads
  // the power-event log into SMRAM, which finds the tag store table that the
  // configuration driver published and logs its start.
  for (const sim::ProfileImage &image : platform.Profile().images) {
    platform.Load(image.name, sim::LoadOptions{image.runtimeImage, image.smm});
  }
  platform.Core().InstallVariableWriteArch();
  try {
    sim::SetupComponent::Publish(platform);
  } catch (const sim::PlatformReset &) {
    return false;
  }
  return true;
}

namespace {

bool NoFaults(Platform &platform, std::ostream &log) {
  if (platform.Trace().OfKind(EffectKind::Fault).empty()) return true;
  log << "faults were recorded\n";
  return false;
}

// Boots until a boot runs without a reset; false when the drivers keep resetting.
bool BootUntilSettled(Platform &platform, std::ostream &log) {
  for (int boot = 0; !BootWithDriver(platform); ++boot) {
    if (boot == 2) {
      log << "the setup policy did not converge\n";
      return false;
    }
    platform.Reboot();
  }
  return true;
}

}  // namespace

bool RunBoots(Platform &platform, int count, std::ostream &log) {
  for (int boot = 1; boot <= count; ++boot) {
    if (boot > 1) platform.Reboot();
    if (!BootWithDriver(platform)) continue;
    EndOfBoot(platform);
    platform.Processor().AdvanceNs(60ull * 1000000000ull);
    platform.EnterSleepState(5);
  }
  return NoFaults(platform, log);
}

bool RunForm(Platform &platform, std::ostream &log, EFI_STATUS *status) {
  if (!BootUntilSettled(platform, log)) return false;
  return RunFormStory(platform, log, status);
}

bool RunSleep(Platform &platform, int state, std::ostream &log) {
  if (!BootUntilSettled(platform, log)) return false;
  EndOfBoot(platform);
  platform.Processor().AdvanceNs(60ull * 1000000000ull);
  platform.EnterSleepState(state);
  if (state == 3) {
    platform.Processor().AdvanceNs(60ull * 1000000000ull);
    platform.Pmc().Wake();
    platform.Record(EffectKind::SleepState, "S3 resume");
  }
  return NoFaults(platform, log);
}

bool RunDefaultScenario(Platform &platform, std::ostream &log) {
  // The first boot finds "PchSetup" out of line: the update rewrites it and resets;
  // the second boot finds it right and carries on.
  if (!BootUntilSettled(platform, log)) return false;

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
  return NoFaults(platform, log);
}

}  // namespace simulator
