// The setup side of the drive form: the package list it registers (strings in each of
// its languages and a forms package with form 1 and the label 0xAE02), the caller that
// locates DiskInfoFormProtocol and calls FillForm, and form 1 as the text a user sees.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "runtime/uefi/hii.h"
#include "runtime/uefi/status.h"

namespace sim {

class Platform;

struct SetupFormLayout {
  std::vector<std::string> languages = {"en-US", "fr-FR"};
  uint16_t label = 0xAE02;  // the label form 1 carries
  EFI_GUID labelGuid = gIfrLabelGuid;
  uint16_t drivesFormId = 1;   // the form that holds the label
  unsigned formsPackages = 1;  // copies of the forms package in the list
};

class SetupForm {
 public:
  // Builds the package list and registers it with the boot's HII database.
  SetupForm(Platform &platform, SetupFormLayout layout = {});
  static std::vector<uint8_t> BuildPackageList(const SetupFormLayout &layout);

  EFI_HII_HANDLE Handle() const { return handle_; }
  // Locates DiskInfoFormProtocol and calls FillForm through the platform;
  // EFI_NOT_FOUND when no driver published it.
  EFI_STATUS CallFillForm(uint8_t slotCount);
  // Form 1 as shown in `language`: its title, then one line per statement.
  std::vector<std::string> Render(const std::string &language) const;
  // The same for a list registered earlier in this boot.
  static std::vector<std::string> Render(Platform &platform, EFI_HII_HANDLE handle, const std::string &language);
  // The setup forms registered in this boot.
  static std::vector<EFI_HII_HANDLE> Registered(Platform &platform);
  std::string RenderText(const std::string &language) const;
  // Form 1 of every setup form registered in this boot, in each language of its package
  // list: [{"language": "en-US", "lines": [...]}, ...].
  static nlohmann::ordered_json Describe(Platform &platform);

 private:
  Platform &platform_;
  EFI_HII_HANDLE handle_ = nullptr;
};

// UTF-8 for display.
std::string Utf8(const std::u16string &text);

}  // namespace sim
