#include "tests/sweeps/scenarios.h"

#include <vector>

#include "platform_config/config_protocol.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/platform_config/config_fixture.h"
#include "tests/support/sim_helpers.h"

namespace sweep {

const EFI_STATUS *Outcome::Status(const std::string &step) const {
  for (const auto &[name, status] : steps) {
    if (name == step) return &status;
  }
  return nullptr;
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
  outcome.steps.emplace_back("entry", loaded.entryStatus);
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

Outcome Entry(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) { Start(platform, image, outcome); });
}

Outcome SetupPolicyUpdate(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    PLATFORM_CONFIG_PROTOCOL *config = Start(platform, image, outcome);
    if (config == nullptr) return;
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    for (size_t offset = 234; offset <= 237; ++offset) setup[offset] = 1;
    outcome.steps.emplace_back("update", simtest::Call(config->UpdateSetupPolicy, config, setup.data()));
  });
}

Outcome ConfigurationLoad(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    PLATFORM_CONFIG_PROTOCOL *config = Start(platform, image, outcome);
    if (config == nullptr) return;
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    outcome.steps.emplace_back("load", simtest::Call(config->LoadPlatformConfig, config, setup.data()));
  });
}

Outcome ControllerSignal(sim::Platform &platform, const char *image) {
  return Guarded([&](Outcome &outcome) {
    PLATFORM_CONFIG_PROTOCOL *config = Start(platform, image, outcome);
    if (config == nullptr) return;
    outcome.steps.emplace_back("signal", simtest::Call(config->SignalEmbeddedController, config));
    UINT8 value = 0x55;
    outcome.steps.emplace_back("override", simtest::Call(config->GetCmosOverride, config, &value));
  });
}

}  // namespace

const std::vector<Scenario> &Scenarios() {
  static const std::vector<Scenario> scenarios = {
      {"PlatformConfigEntry", "PlatformConfigDxe", ConfigMachine, Entry},
      {"SetupPolicyUpdate", "PlatformConfigDxe", ConfigMachine, SetupPolicyUpdate},
      {"ConfigurationLoad", "PlatformConfigDxe", ConfigMachine, ConfigurationLoad},
      {"EmbeddedControllerSignal", "PlatformConfigDxe", ConfigMachine, ControllerSignal},
  };
  return scenarios;
}

}  // namespace sweep
