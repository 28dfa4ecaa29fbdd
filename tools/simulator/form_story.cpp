#include "tools/simulator/form_story.h"

#include <algorithm>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"
#include "platform_sim/storage/storage_models.h"

namespace simulator {

bool RunFormStory(sim::Platform &platform, std::ostream &log, EFI_STATUS *status) {
  const auto &images = platform.Profile().images;
  if (std::none_of(images.begin(), images.end(),
                   [](const sim::ProfileImage &image) { return image.name == kDiskInfoImage; })) {
    platform.Load(kDiskInfoImage);
  }
  sim::ConnectStorage(platform.Core().Storage(), platform.Profile().storage);
  sim::SetupForm form(platform);
  const EFI_STATUS filled = form.CallFillForm(4);
  if (status != nullptr) *status = filled;
  if (filled == EFI_NOT_FOUND) {
    log << "DiskInfoFormProtocol is not installed\n";
    return false;
  }
  platform.Record(sim::EffectKind::Note, "FillForm -> " + sim::StatusText(filled), filled);
  if (!platform.Trace().OfKind(sim::EffectKind::Fault).empty()) {
    log << "faults were recorded\n";
    return false;
  }
  return true;
}

}  // namespace simulator
