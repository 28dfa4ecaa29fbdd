// platform_sim_cli: boots a platform described by a profile, loads the driver images,
// drives the events that reach them and reports what they did; and reads or changes
// the tag store and power-event log of a flash image file offline.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "platform_sim/platform.h"
#include "platform_sim/profile/profile_json.h"
#include "platform_sim/report/json_report.h"
#include "platform_sim/report/report.h"
#include "tools/simulator/cli_errors.h"
#include "tools/simulator/flash_file.h"
#include "tools/simulator/flash_tool.h"
#include "tools/simulator/form_report.h"
#include "tools/simulator/form_story.h"
#include "tools/simulator/scenario.h"
#include "tools/simulator/variable_region.h"

namespace fs = std::filesystem;
using namespace simulator;

namespace {

constexpr const char *kFooter = R"(Exit codes:
  0  success
  1  the scenario or a driver failed (faults recorded, a policy that never settled,
     a missing protocol, a form no one can see); the report still shows what happened
  2  usage or input error (unknown command or option, unreadable or invalid profile,
     flash file of the wrong size, unprovisioned log); nothing ran and no file changed

SIM_EFI_IMAGE_DIR and SIM_IMAGE_DIR set the default directories of the .efi and host
images; --image-dir overrides the one of the chosen engine.)";

// The options of the program that a command uses; they may come before or after it.
constexpr const char *kStoryOptions = R"(Options of platform_sim_cli that apply (before or after the command):
  --profile FILE   the platform (docs/profile.md); default: built in
  --flash FILE     the board's flash image: loaded first (created from the profile when
                   absent), written back after the run
  --engine emulated|host, --image-dir DIR   which images run, and from where
  --json           the report as JSON instead of text
)";

constexpr const char *kStoryExit = R"(
Exit codes:
  0  the story ran and no fault was recorded
  1  the story or a driver failed; the report still shows what happened
  2  usage or input error (invalid profile, missing image, flash file of the wrong
     size); nothing ran and no file changed)";

constexpr const char *kProfileFooter = R"(Options of platform_sim_cli that apply (before or after the command):
  --profile FILE   the profile to complete; default: the built-in one

Exit codes:
  0  the profile was printed
  2  the profile file is unreadable or invalid; the message names the field)";

constexpr const char *kFlashFooter = R"(Options of platform_sim_cli that apply (before or after the command):
  --flash FILE     the image file to read or change (required)
  --profile FILE   the profile whose flash part gives the image's size; default: built in
  --json           JSON instead of text

A change rewrites only the bytes of its record, by NOR rules: the record's erase blocks
are erased only when a bit must go from 0 to 1, then programmed.

Exit codes:
  0  done
  1  the changed image could not be written (the file keeps its old contents)
  2  usage or input error (no --flash, a file of the wrong size, an unknown tag, an
     unprovisioned or full log, a bad event or time); the file is left untouched)";

struct Options {
  std::string profileFile;
  std::string flashFile;
  std::string engine = "emulated";
  std::string imageDir;
  bool json = false;
};

enum class Story { Run, Boot, Sleep, Form };

sim::PlatformProfile ChosenProfile(const Options &options) {
  sim::PlatformProfile profile;
  try {
    profile = options.profileFile.empty() ? sim::DefaultPlatformProfile() : sim::LoadProfileFile(options.profileFile);
  } catch (const sim::ProfileError &error) {
    throw InputError(error.what());
  }
  profile.engine = options.engine == "host" ? sim::Engine::Host : sim::Engine::Emulated;
  return profile;
}

// Every image the story loads must be there before anything runs: the profile's, and
// the drive form's for the stories that show it.
void CheckImages(const Options &options, const sim::PlatformProfile &profile, Story story) {
  const bool host = profile.engine == sim::Engine::Host;
  if (!options.imageDir.empty()) {
    if (!fs::is_directory(options.imageDir))
      throw InputError("--image-dir " + options.imageDir + ": no such directory");
    setenv(host ? "SIM_IMAGE_DIR" : "SIM_EFI_IMAGE_DIR", options.imageDir.c_str(), 1);
  }
  const std::string directory =
      host ? sim::ImageLoader::DefaultDirectory() : sim::ImageLoader::DefaultFirmwareDirectory();
  std::vector<std::string> names;
  for (const sim::ProfileImage &image : profile.images) names.push_back(image.name);
  if (story == Story::Run || story == Story::Form) names.push_back(kDiskInfoImage);
  for (const std::string &name : names) {
    const fs::path path = fs::path(directory) / (name + (host ? ".so" : ".efi"));
    if (!fs::exists(path)) throw InputError("image " + name + ": " + path.string() + " does not exist");
  }
}

int RunStory(const Options &options, Story story, int boots, const std::string &state) {
  sim::PlatformProfile profile = ChosenProfile(options);
  CheckImages(options, profile, story);
  uint64_t flashBase = 0;
  uint64_t flashSize = 0;
  if (!options.flashFile.empty()) {
    flashSize = FlashPartSize(profile.flash);
    flashBase = 0x100000000ull - flashSize;
    if (fs::exists(options.flashFile)) {
      // The file is the board's flash: it replaces the profile's factory contents, and
      // the non-volatile variables it holds replace the profile's.
      std::vector<uint8_t> image = ReadFlashImage(options.flashFile, profile.flash, profile.name);
      if (auto stored = ReadVariableRegion(image)) {
        std::erase_if(profile.variables, [](const sim::Variable &variable) { return variable.attributes & 0x1; });
        profile.variables.insert(profile.variables.end(), stored->begin(), stored->end());
      }
      profile.flash.contents = {{flashBase, std::move(image)}};
    } else if (flashSize == 0 || flashSize > 0x1000000) {
      throw InputError(options.flashFile + ": the profile \"" + profile.name +
                       "\" has no flash part of 16 MiB or less");
    }
  }

  bool complete = false;
  EFI_STATUS fillForm = EFI_NOT_STARTED;
  std::ostringstream log;
  sim::Platform platform(profile);
  try {
    switch (story) {
      case Story::Run: complete = RunDefaultScenario(platform, log); break;
      case Story::Boot: complete = RunBoots(platform, boots, log); break;
      case Story::Sleep: complete = RunSleep(platform, state[1] - '0', log); break;
      case Story::Form: complete = RunForm(platform, log, &fillForm); break;
    }
  } catch (const std::exception &error) {
    log << "simulation failed: " << error.what() << "\n";
  }
  if (!options.flashFile.empty()) {
    std::vector<uint8_t> image = platform.Flash().Peek(flashBase, flashSize);
    WriteVariableRegion(image, platform.Variables().All());
    WriteFlashImage(options.flashFile, image);
  }
  if (story == Story::Form) {
    const nlohmann::ordered_json form = FormJson(platform, complete, log.str(), fillForm);
    complete = form["ok"].get<bool>();
    log.str(form["problems"].get<std::string>());
    if (options.json) {
      std::cout << form.dump(2) << "\n";
    } else {
      WriteFormReport(std::cout, form);
    }
  } else if (options.json) {
    nlohmann::ordered_json report = sim::ReportJson(platform);
    report["ok"] = complete;
    report["problems"] = log.str();
    std::cout << report.dump(2) << "\n";
  } else {
    sim::WriteReport(std::cout, platform);
  }
  std::cerr << log.str();
  return complete ? kExitSuccess : kExitFailed;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"Boots a simulated platform described by a profile, loads the driver images (the shipped .efi\n"
               "files on the emulated CPU by default), drives the events that reach them and reports what\n"
               "they did. Without a command it runs the default story (\"run\").",
               "platform_sim_cli"};
  app.footer(kFooter);
  Options options;
  app.add_option("--profile", options.profileFile, "platform profile (JSON, see docs/profile.md); default: built in")
      ->option_text("FILE");
  app.add_option("--flash", options.flashFile,
                 "flash image file: loaded before the run (created from the profile when absent) and written "
                 "back after it; for \"flash\", the image to work on")
      ->option_text("FILE");
  app.add_option("--engine", options.engine,
                 "emulated: the shipped .efi images on the emulated CPU (default); host: "
                 "the host images built from the same sources")
      ->check(CLI::IsMember({"emulated", "host"}))
      ->option_text("emulated|host");
  app.add_flag("--json", options.json, "print JSON instead of the readable report");
  app.add_option("--image-dir", options.imageDir, "directory of the images for the chosen engine")->option_text("DIR");
  app.require_subcommand(0, 1);

  auto *run = app.add_subcommand("run", "the default story: boots until the setup policy settles, calls the "
                                        "configuration operations, S3, S4, the next boot, S5");
  int boots = 1;
  auto *boot = app.add_subcommand("boot", "boot N times: each boot loads the profile's images and ends in the reset "
                                          "a driver asks for or in the OS shutting down (S5)");
  boot->add_option("N", boots, "number of boots")->required()->check(CLI::Range(1, 100));
  std::string state;
  auto *sleep = app.add_subcommand("sleep", "boot until the drivers settle, hand over to the OS and enter a sleep "
                                            "state (S3 resumes a minute later)");
  sleep->add_option("STATE", state, "S3, S4 or S5")->required()->check(CLI::IsMember({"S3", "S4", "S5"}));
  auto *form = app.add_subcommand("form", "boot until the drivers settle, load DiskInfoSetupDxe unless the profile "
                                          "does, bring up the storage and have the setup side fill the drive form; "
                                          "shows the drives found and form 1 in every language of its package list");
  auto *profile = app.add_subcommand("profile", "print the platform profile as JSON: the built-in default, or "
                                                "--profile FILE completed with the default's values");

  FlashToolRequest request;
  auto *flash = app.add_subcommand("flash", "read or change a flash image file (--flash FILE) offline; its size "
                                            "must be the profile's part size");
  flash->require_subcommand(1);
  auto *info = flash->add_subcommand("info", "part size, tag store base, each record and whether it is erased");
  auto *dump = flash->add_subcommand("dump", "a tag store record as hex");
  dump->add_option("TAG", request.tag, "record tag, such as MFG0 or PLOG")->required();
  auto *log = flash->add_subcommand("log", "the power-event log (\"PLOG\") decoded");
  auto *provision = log->add_subcommand("provision", "write the signature and an all-free map into an "
                                                     "unprovisioned log");
  auto *add = log->add_subcommand("add", "append one event by the driver's rules");
  add->add_option("VALUE", request.event, "event: 0-255, start, s3, s4 or s5")->required();
  add->add_option("--time", request.time, "time stamp; default: the profile's clock")
      ->option_text("\"YYYY-MM-DD HH:MM:SS\"");
  auto *clear = log->add_subcommand("clear", "provision the log afresh: every slot free");
  for (CLI::App *command : {run, boot, sleep, form}) command->footer(std::string(kStoryOptions) + kStoryExit);
  profile->footer(kProfileFooter);
  for (CLI::App *command : {flash, info, dump, log, provision, add, clear}) command->footer(kFlashFooter);
  for (CLI::App *command : {run, boot, sleep, form, profile, flash, info, dump, log, provision, add, clear}) {
    command->fallthrough();
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    return app.exit(CLI::CallForHelp());
  } catch (const CLI::ParseError &error) {
    if (error.get_exit_code() == 0) return app.exit(error);
    app.exit(error);
    return kExitUsage;
  }

  try {
    if (*profile) {
      std::cout << sim::ProfileToJson(ChosenProfile(options)).dump(2) << "\n";
      return kExitSuccess;
    }
    if (*flash) {
      if (options.flashFile.empty()) throw InputError("flash: --flash FILE names the image to work on");
      request.file = options.flashFile;
      request.profile = ChosenProfile(options);
      request.json = options.json;
      if (*info) request.action = FlashAction::Info;
      if (*dump) request.action = FlashAction::Dump;
      if (*log) {
        request.action = *provision ? FlashAction::LogProvision
                         : *add     ? FlashAction::LogAdd
                         : *clear   ? FlashAction::LogClear
                                    : FlashAction::Log;
      }
      RunFlashTool(request, std::cout);
      return kExitSuccess;
    }
    if (*boot) return RunStory(options, Story::Boot, boots, "");
    if (*sleep) return RunStory(options, Story::Sleep, 0, state);
    if (*form) return RunStory(options, Story::Form, 0, "");
    return RunStory(options, Story::Run, 0, "");
  } catch (const InputError &error) {
    std::cerr << "error: " << error.what() << "\n";
    return kExitUsage;
  } catch (const std::exception &error) {
    std::cerr << "simulation failed: " << error.what() << "\n";
    return kExitFailed;
  }
}
