#include <nlohmann/json.hpp>

#include "platform_sim/hii/hii_model.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"

namespace sim {

nlohmann::ordered_json SetupForm::Describe(Platform &platform) {
  nlohmann::ordered_json forms = nlohmann::ordered_json::array();
  const HiiModel *hii = platform.Core().Hii();
  if (hii == nullptr) return forms;
  for (EFI_HII_HANDLE handle : Registered(platform)) {
    const std::optional<std::string> languages = hii->Languages(handle);
    if (!languages) continue;
    size_t start = 0;
    while (start <= languages->size()) {
      size_t end = languages->find(';', start);
      if (end == std::string::npos) end = languages->size();
      const std::string language = languages->substr(start, end - start);
      forms.push_back({{"language", language}, {"lines", Render(platform, handle, language)}});
      start = end + 1;
    }
  }
  return forms;
}

}  // namespace sim
