// fill_form: the instruction count of one FillForm on the default platform.
//
//   fill_form
//       Boots the default platform on the emulated engine, loads DiskInfoSetupDxe,
//       brings up the default storage, and calls FillForm once with SlotCount 4,
//       counting the image's own instructions (platform routines it calls excluded).
//       Prints "instructions <count>".
#include <cstdio>

#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"
#include "platform_sim/storage/storage_models.h"
#include "runtime/uefi/status.h"

int main() {
  sim::PlatformProfile profile = sim::DefaultPlatformProfile();
  profile.engine = sim::Engine::Emulated;
  sim::Platform platform(profile);
  platform.Load("DiskInfoSetupDxe");
  sim::ConnectStorage(platform.Core().Storage(), profile.storage);
  sim::SetupForm form(platform);
  platform.Emulation().CountInstructions(true);
  const EFI_STATUS status = form.CallFillForm(4);
  platform.Emulation().CountInstructions(false);
  if (status != EFI_SUCCESS || form.Render("en-US").size() != 10) {
    std::fprintf(stderr, "FillForm did not fill the form\n");
    return 1;
  }
  std::printf("instructions %llu\n", static_cast<unsigned long long>(platform.Emulation().InstructionsCounted()));
  return 0;
}
