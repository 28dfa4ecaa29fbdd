// platform_sim_cli: boots the built-in default platform, loads the drivers, drives the
// events that reach them and prints what they did.
#include <exception>
#include <iostream>
#include <string>

#include "platform_sim/platform.h"
#include "platform_sim/report/report.h"
#include "tools/simulator/scenario.h"

int main(int argc, char **argv) {
  // The shipped images by default: what the simulator shows is what goes into flash.
  sim::Engine engine = sim::Engine::Emulated;
  for (int index = 1; index < argc; ++index) {
    std::string argument = argv[index];
    if (argument == "--help" || argument == "-h") {
      std::cout << "usage: platform_sim_cli [--engine emulated|host]\n"
                   "Boots the default platform, loads the driver images and prints a report.\n"
                   "  --engine emulated  run the shipped .efi images on the emulated CPU (default)\n"
                   "  --engine host      run the host images built from the same sources\n"
                   "SIM_EFI_IMAGE_DIR and SIM_IMAGE_DIR override the directories of the .efi and\n"
                   "host images.\n";
      return 0;
    }
    if (argument == "--engine" && index + 1 < argc) {
      std::string name = argv[++index];
      if (name != "emulated" && name != "host") {
        std::cerr << "unknown engine: " << name << " (emulated or host)\n";
        return 2;
      }
      engine = name == "host" ? sim::Engine::Host : sim::Engine::Emulated;
      continue;
    }
    std::cerr << "unknown argument: " << argument << "\n";
    return 2;
  }
  try {
    sim::PlatformProfile profile = sim::DefaultPlatformProfile();
    profile.engine = engine;
    sim::Platform platform(profile);
    bool complete = simulator::RunDefaultScenario(platform, std::cerr);
    sim::WriteReport(std::cout, platform);
    return complete ? 0 : 1;
  } catch (const std::exception &error) {
    std::cerr << "simulation failed: " << error.what() << "\n";
    return 1;
  }
}
