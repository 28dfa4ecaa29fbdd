#include "tools/simulator/form_story.h"

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"
#include "platform_sim/profile/default_storage.h"

namespace simulator {

bool RunFormStory(sim::Platform &platform, std::ostream &log) {
  platform.Load("DiskInfoSetupDxe");
  sim::ConnectDefaultStorage(platform.Core().Storage());
  sim::SetupForm form(platform);
  const EFI_STATUS status = form.CallFillForm(4);
  if (status == EFI_NOT_FOUND) {
    log << "DiskInfoFormProtocol is not installed\n";
    return false;
  }
  platform.Record(sim::EffectKind::Note, "FillForm -> " + sim::StatusText(status), status);
  if (!platform.Trace().OfKind(sim::EffectKind::Fault).empty()) {
    log << "faults were recorded\n";
    return false;
  }
  return true;
}

}  // namespace simulator
