// platform_sim_cli: boots the built-in default platform, loads the drivers, drives the
// events that reach them and prints what they did.
#include <exception>
#include <iostream>
#include <string>

#include "platform_sim/platform.h"
#include "platform_sim/report/report.h"
#include "tools/simulator/scenario.h"

int main(int argc, char **argv) {
  for (int index = 1; index < argc; ++index) {
    std::string argument = argv[index];
    if (argument == "--help" || argument == "-h") {
      std::cout << "usage: platform_sim_cli\n"
                   "Boots the default platform, loads the driver images and prints a report.\n"
                   "SIM_IMAGE_DIR overrides the directory of the host images.\n";
      return 0;
    }
    std::cerr << "unknown argument: " << argument << "\n";
    return 2;
  }
  try {
    sim::Platform platform(sim::DefaultPlatformProfile());
    bool complete = simulator::RunDefaultScenario(platform, std::cerr);
    sim::WriteReport(std::cout, platform);
    return complete ? 0 : 1;
  } catch (const std::exception &error) {
    std::cerr << "simulation failed: " << error.what() << "\n";
    return 1;
  }
}
