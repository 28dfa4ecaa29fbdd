#include "tests/sweeps/scenarios.h"

#include <vector>

#include "platform_config/config_protocol.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/profile/default_storage.h"
#include "platform_sim/storage/storage_models.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/platform_config/config_fixture.h"
#include "tests/power_event_log/log_fixture.h"
#include "tests/support/sim_helpers.h"

namespace sweep {

const EFI_STATUS *Outcome::Status(const std::string &step) const {
  for (const auto &[name, status] : steps) {
    if (name == step) return &status;
  }
  return nullptr;
}

std::string Outcome::PhaseOfAllocation(uint64_t nth) const {
  for (const Phase &phase : phases) {
    if (nth <= phase.allocations) return phase.name;
  }
  return {};
}

namespace {

// A shipped machine: SPI flash with the factory records and a provisioned password
// block, "Setup" and a "PchSetup" already in line with the override marker the default CMOS holds (no reset), the variable services up.
sim::PlatformProfile ConfigMachine() {
  sim::PlatformProfile profile = configtest::ConfigProfile();
  configtest::PutVariable(profile, u"Setup", gSetupVariableGuid, std::vector<uint8_t>(SETUP_CONFIG_SIZE, 0));
  configtest::PutVariable(profile, u"PchSetup", gPchSetupVariableGuid, configtest::PchSetup(0));
  profile.flash.contents.push_back({configtest::kPasswordBlock, configtest::PasswordBlock("M4st3r", {'u', 's', 'r'})});
  return profile;
}

// Loads the image; the protocol when the entry succeeded.
PLATFORM_CONFIG_PROTOCOL *Start(sim::Platform &platform, const char *image, Outcome &outcome) {
  auto &loaded = platform.Load(image);
  outcome.Add(platform, "entry", loaded.entryStatus);
  return simtest::Locate<PLATFORM_CONFIG_PROTOCOL>(platform, gPlatformConfigProtocolGuid);
}

template <typename Body>
Outcome Guarded(Body body) {
  Outcome outcome;
  try {
    body(outcome);
  } catch (const sim::PlatformReset &) {
    outcome.reset = true;
  }
  return outcome;
}

// The entry, then the DXE SMM ready-to-lock point, where the boot script goes into
// lock boxes through SMM communication (its results are not the driver's to report).
Outcome Entry(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    Start(platform, image, outcome);
    platform.Core().InstallSmmReadyToLock();
    outcome.Mark(platform, "ready to lock");
  });
}

Outcome SetupPolicyUpdate(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    PLATFORM_CONFIG_PROTOCOL *config = Start(platform, image, outcome);
    if (config == nullptr) return;
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    for (size_t offset = 234; offset <= 237; ++offset) setup[offset] = 1;
    outcome.Add(platform, "update", simtest::Call(config->UpdateSetupPolicy, config, setup.data()));
  });
}

Outcome ConfigurationLoad(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    PLATFORM_CONFIG_PROTOCOL *config = Start(platform, image, outcome);
    if (config == nullptr) return;
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    outcome.Add(platform, "load", simtest::Call(config->LoadPlatformConfig, config, setup.data()));
  });
}

Outcome ControllerSignal(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    PLATFORM_CONFIG_PROTOCOL *config = Start(platform, image, outcome);
    if (config == nullptr) return;
    outcome.Add(platform, "signal", simtest::Call(config->SignalEmbeddedController, config));
    UINT8 value = 0x55;
    outcome.Add(platform, "override", simtest::Call(config->GetCmosOverride, config, &value));
  });
}

// The power-event log in SMRAM: the entry logs the start, then the operating system
// enters S3 and the Sx dispatcher runs the handler that logs it.
Outcome SleepLog(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    auto &loaded = platform.Load(image, sim::LoadOptions{false, true});
    outcome.Add(platform, "entry", loaded.entryStatus);
    platform.Core().HandOverToOperatingSystem();
    size_t notes = platform.Trace().OfKind(sim::EffectKind::Note).size();
    platform.EnterSleepState(3);
    // The dispatcher notes each handler's status.
    auto after = platform.Trace().OfKind(sim::EffectKind::Note);
    for (size_t index = notes; index < after.size(); ++index) {
      if (after[index].what.rfind("S3 entry handler", 0) == 0) {
        outcome.Add(platform, "S3", static_cast<EFI_STATUS>(after[index].value));
      }
    }
  });
}

// The drive form: the entry, the default machine's storage arriving, then setup
// asking for the four-line form.
Outcome DriveForm(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    outcome.Add(platform, "entry", platform.Load(image).entryStatus);
    if (*outcome.Status("entry") != EFI_SUCCESS) return;
    sim::StorageBus bus(platform);
    sim::ConnectDefaultStorage(bus);
    outcome.Mark(platform, "storage");
    sim::SetupForm form(platform);
    outcome.Add(platform, "fill", form.CallFillForm(4));
  });
}

sim::PlatformProfile LogMachine() { return logtest::SmmProfile(); }
// A log provisioned by a tool that left its free slots zeroed: each append sets bits, so
// the flush takes the erase path.
sim::PlatformProfile ZeroedSlotsLogMachine() {
  sim::PlatformProfile profile = logtest::SmmProfile(std::nullopt);
  profile.flash.contents.push_back({logtest::kLogAddress, logtest::LogRecord(logtest::kFreshMap, 0x00)});
  return profile;
}
sim::PlatformProfile DiskMachine() { return sim::DefaultPlatformProfile(); }

}  // namespace

const std::vector<Scenario> &Scenarios() {
  static const std::vector<Scenario> scenarios = {
      {"PlatformConfigEntry", "PlatformConfigDxe", ConfigMachine, Entry},
      {"SetupPolicyUpdate", "PlatformConfigDxe", ConfigMachine, SetupPolicyUpdate},
      {"ConfigurationLoad", "PlatformConfigDxe", ConfigMachine, ConfigurationLoad},
      {"EmbeddedControllerSignal", "PlatformConfigDxe", ConfigMachine, ControllerSignal},
      {"PowerEventLogSleep", "PowerEventLogSmm", LogMachine, SleepLog},
      {"PowerEventLogOverZeroedSlots", "PowerEventLogSmm", ZeroedSlotsLogMachine, SleepLog},
      {"DriveForm", "DiskInfoSetupDxe", DiskMachine, DriveForm},
  };
  return scenarios;
}

}  // namespace sweep
