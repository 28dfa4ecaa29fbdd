#include "platform_sim/firmware/service_rules.h"

#include <string>

#include "platform_sim/platform.h"

namespace sim {

namespace {
std::string TplText(EFI_TPL tpl) { return std::to_string(static_cast<unsigned long long>(tpl)); }
}  // namespace

void CheckTpl(const char *service, EFI_TPL ceiling) {
  Platform &platform = Platform::Current();
  EFI_TPL current = platform.Core().Events().CurrentTpl();
  if (current > ceiling) {
    platform.Finding(std::string(service) + " called at TPL " + TplText(current) + ", above its limit " +
                     TplText(ceiling));
  }
}

bool EnterBootService(const char *service, EFI_TPL ceiling) {
  Platform &platform = Platform::Current();
  if (platform.Core().BootServicesExited()) {
    platform.Fault(std::string("boot service ") + service + " called after ExitBootServices");
    return false;
  }
  CheckTpl(service, ceiling);
  return true;
}

void RecordNotModelled(const char *service) {
  Platform::Current().Fault(std::string("service ") + service + " not modelled");
}

}  // namespace sim
