// driver_ops: runs the PlatformConfigDxe operations, and PowerEventLogSmm's append, on
// the default platform for the performance table.
//
//   driver_ops [--engine host|emulated] --count entry|update|load|append
//       Boots the default platform and runs one operation once: on the host
//       engine for callgrind, on the emulated engine counting the image's own
//       instructions (printed as "instructions <count>").
//       "append" is one AppendEvent inside an SMI after the hand-over.
//       "update", "load" and "append" switch collection on around the call only
//       (run with --collect-atstart=no); the image's entry runs inside the
//       platform's loader, so "entry" is counted with --toggle-collect on the
//       image entry point instead.
//   driver_ops [--engine host|emulated] --story SECONDS
//       Runs the main job's default story, each time on a new platform, for about
//       SECONDS and prints "stories <count> seconds <elapsed>".
//   driver_ops [--engine host|emulated] --boots SECONDS
//       Boots the default platform again and again for about SECONDS and prints
//       "boots <count> seconds <elapsed>".
#include <valgrind/callgrind.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform_config/config_protocol.h"
#include "power_event_log/power_event_log.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/firmware/setup_component.h"
#include "platform_sim/platform.h"
#include "tools/simulator/scenario.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace {

// Boots until the setup policy converges (the default platform resets once).
void BootToSteadyState(sim::Platform &platform) {
  for (int boot = 0; !simulator::BootWithDriver(platform); ++boot) {
    if (boot == 2) {
      throw std::runtime_error("the setup policy did not converge");
    }
    platform.Reboot();
  }
}

PLATFORM_CONFIG_PROTOCOL *Protocol(sim::Platform &platform) {
  PLATFORM_CONFIG_PROTOCOL *config = nullptr;
  if (platform.Core().Protocols().Locate(gPlatformConfigProtocolGuid, nullptr, reinterpret_cast<void **>(&config)) !=
      EFI_SUCCESS) {
    throw std::runtime_error("PlatformConfigProtocol is not installed");
  }
  return config;
}

sim::PlatformProfile Profile(sim::Engine engine) {
  sim::PlatformProfile profile = sim::DefaultPlatformProfile();
  profile.engine = engine;
  return profile;
}

// Measurement on: callgrind's collection on the host engine, the emulator's own
// instruction count on the emulated one.
void Measure(sim::Platform &platform, bool on) {
  if (platform.Emulated()) {
    platform.Emulation().CountInstructions(on);
  } else {
    CALLGRIND_TOGGLE_COLLECT;
  }
}

int Count(sim::Engine engine, const std::string &operation) {
  sim::Platform platform(Profile(engine));
  EFI_STATUS status;
  if (operation == "entry") {
    // On the host engine the entry is collected by --toggle-collect.
    if (platform.Emulated()) Measure(platform, true);
    platform.Load("PlatformConfigDxe", sim::LoadOptions{true, false});
    if (platform.Emulated()) Measure(platform, false);
    status = EFI_SUCCESS;
  } else {
    BootToSteadyState(platform);
    PLATFORM_CONFIG_PROTOCOL *config = Protocol(platform);
    UINT8 *setup = sim::SetupComponent::LiveRecord(platform);
    if (operation == "update") {
      Measure(platform, true);
      status = platform.Call(config->UpdateSetupPolicy, config, setup);
      Measure(platform, false);
    } else if (operation == "load") {
      Measure(platform, true);
      status = platform.Call(config->LoadPlatformConfig, config, setup);
      Measure(platform, false);
    } else if (operation == "append") {
      POWER_EVENT_LOG_PROTOCOL *log = nullptr;
      if (platform.Core().SmmProtocols().Locate(gPowerEventLogProtocolGuid, nullptr, reinterpret_cast<void **>(&log)) !=
          EFI_SUCCESS) {
        throw std::runtime_error("PowerEventLogProtocol is not installed");
      }
      platform.Core().HandOverToOperatingSystem();
      sim::SmiScope smi(platform.Core().Smm());
      Measure(platform, true);
      status = platform.Call(log->AppendEvent, log, static_cast<UINT8>(POWER_EVENT_S3_ENTRY));
      Measure(platform, false);
    } else {
      std::fprintf(stderr, "unknown operation: %s\n", operation.c_str());
      return 2;
    }
  }
  if (platform.Emulated()) {
    std::printf("instructions %llu\n", static_cast<unsigned long long>(platform.Emulation().InstructionsCounted()));
  }
  if (status != EFI_SUCCESS) {
    std::fprintf(stderr, "%s returned %s\n", operation.c_str(), sim::StatusText(status).c_str());
    return 1;
  }
  return 0;
}

// One platform booted again and again, as a board is: every reboot loads the driver
// afresh and brings it to its steady state.
int Boots(sim::Engine engine, double seconds) {
  using Clock = std::chrono::steady_clock;
  sim::Platform platform(Profile(engine));
  BootToSteadyState(platform);
  const uint32_t first = platform.BootNumber();
  const Clock::time_point start = Clock::now();
  double elapsed = 0;
  do {
    platform.Reboot();
    BootToSteadyState(platform);
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < seconds);
  std::printf("boots %llu seconds %.6f\n", static_cast<unsigned long long>(platform.BootNumber() - first), elapsed);
  return 0;
}

// The main job's whole default story, each time on a new platform.
int Stories(sim::Engine engine, double seconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  uint64_t stories = 0;
  double elapsed = 0;
  do {
    sim::Platform platform(Profile(engine));
    std::ostringstream log;
    if (!simulator::RunDefaultScenario(platform, log))
      throw std::runtime_error("the default story failed: " + log.str());
    ++stories;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < seconds);
  std::printf("stories %llu seconds %.6f\n", static_cast<unsigned long long>(stories), elapsed);
  return 0;
}

int Usage() {
  std::fprintf(stderr, "usage: driver_ops [--engine host|emulated] (--count entry|update|load|append | --boots SECONDS "
                       "| --story SECONDS)\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  std::string engine = "host";
  std::string count;
  double seconds = -1;
  double storySeconds = -1;
  for (int index = 1; index < argc; ++index) {
    std::string argument = argv[index];
    if (index + 1 >= argc) return Usage();
    std::string value = argv[++index];
    if (argument == "--engine") {
      engine = value;
    } else if (argument == "--count") {
      count = value;
    } else if (argument == "--boots") {
      seconds = std::atof(value.c_str());
    } else if (argument == "--story") {
      storySeconds = std::atof(value.c_str());
    } else {
      return Usage();
    }
  }
  if (engine != "host" && engine != "emulated") {
    std::fprintf(stderr, "engine %s is not available\n", engine.c_str());
    return 2;
  }
  const sim::Engine kind = engine == "host" ? sim::Engine::Host : sim::Engine::Emulated;
  try {
    if (!count.empty()) return Count(kind, count);
    if (seconds >= 0) return Boots(kind, seconds);
    if (storySeconds >= 0) return Stories(kind, storySeconds);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "driver_ops: %s\n", error.what());
    return 1;
  }
  return Usage();
}
