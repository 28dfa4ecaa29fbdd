#include "platform_sim/hii/setup_form.h"

#include <cstring>
#include <map>

#include "disk_info/form_protocol.h"
#include "platform_sim/hii/hii_model.h"
#include "platform_sim/platform.h"

namespace sim {
namespace {

EFI_GUID kFormSetGuid = {0x8D3A1C62, 0x4E7B, 0x4F21, {0x9C, 0x55, 0x3B, 0x1E, 0x7A, 0x60, 0xD2, 0x94}};

enum StringIds : uint16_t {
  kFormSetTitle = 1,
  kFormSetHelp,
  kDrivesTitle,
  kInstalledDrives,
  kBootTitle,
  kPowerPrompt,
  kPowerValue,
};

const std::map<std::string, std::vector<std::u16string>> kTexts = {
    {"en-US",
     {u"Advanced", u"Configure devices", u"Drive Information", u"Installed drives", u"Boot",
      u"Drive power management: ", u"Enabled"}},
    {"fr-FR",
     {u"Avanc\u00e9", u"Configurer les p\u00e9riph\u00e9riques", u"Informations sur les disques",
      u"Disques install\u00e9s", u"D\u00e9marrage", u"Gestion de l'alimentation des disques : ", u"Activ\u00e9"}},
};

void Put16(std::vector<uint8_t> &out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t> &out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}
void OpHeader(std::vector<uint8_t> &out, uint8_t op, uint8_t length, bool scope) {
  out.push_back(op);
  out.push_back(static_cast<uint8_t>(length | (scope ? 0x80 : 0)));
}
void Guid(std::vector<uint8_t> &out, const EFI_GUID &guid) {
  const auto *bytes = reinterpret_cast<const uint8_t *>(&guid);
  out.insert(out.end(), bytes, bytes + sizeof(guid));
}
void Label(std::vector<uint8_t> &out, const EFI_GUID &guid, uint16_t number) {
  OpHeader(out, EFI_IFR_GUID_OP, 21, false);
  Guid(out, guid);
  out.push_back(EFI_IFR_EXTEND_OP_LABEL);
  Put16(out, number);
}
void Text(std::vector<uint8_t> &out, uint16_t prompt, uint16_t help, uint16_t value) {
  OpHeader(out, EFI_IFR_TEXT_OP, 8, false);
  Put16(out, prompt);
  Put16(out, help);
  Put16(out, value);
}
void End(std::vector<uint8_t> &out) { OpHeader(out, EFI_IFR_END_OP, 2, false); }

std::vector<uint8_t> FormsPackage(const SetupFormLayout &layout) {
  std::vector<uint8_t> ifr;
  OpHeader(ifr, EFI_IFR_FORM_SET_OP, 23, true);
  Guid(ifr, kFormSetGuid);
  Put16(ifr, kFormSetTitle);
  Put16(ifr, kFormSetHelp);
  ifr.push_back(0);  // no class GUIDs
  // The drives form: a subtitle, the label, one statement of its own, the end label.
  OpHeader(ifr, EFI_IFR_FORM_OP, 6, true);
  Put16(ifr, layout.drivesFormId);
  Put16(ifr, kDrivesTitle);
  OpHeader(ifr, EFI_IFR_SUBTITLE_OP, 7, false);
  Put16(ifr, kInstalledDrives);
  Put16(ifr, 0);
  ifr.push_back(0);
  Label(ifr, layout.labelGuid, layout.label);
  Text(ifr, kPowerPrompt, 0, kPowerValue);
  Label(ifr, gIfrLabelGuid, 0xAE03);
  End(ifr);
  // Another form with the same label number, which must stay as it is.
  OpHeader(ifr, EFI_IFR_FORM_OP, 6, true);
  Put16(ifr, 2);
  Put16(ifr, kBootTitle);
  Label(ifr, gIfrLabelGuid, 0xAE02);
  End(ifr);
  End(ifr);  // form set
  std::vector<uint8_t> package;
  Put32(package, static_cast<uint32_t>(4 + ifr.size()) | (uint32_t{EFI_HII_PACKAGE_FORMS} << 24));
  package.insert(package.end(), ifr.begin(), ifr.end());
  return package;
}

std::vector<uint8_t> StringsPackage(const std::string &language) {
  const std::vector<std::u16string> &texts = kTexts.count(language) ? kTexts.at(language) : kTexts.at("en-US");
  std::vector<uint8_t> out;
  const uint32_t headerSize = static_cast<uint32_t>(46 + language.size() + 1);
  Put32(out, 0);
  Put32(out, headerSize);
  Put32(out, headerSize);
  out.resize(out.size() + 32, 0);
  Put16(out, 0);
  out.insert(out.end(), language.begin(), language.end());
  out.push_back(0);
  for (const std::u16string &text : texts) {
    out.push_back(EFI_HII_SIBT_STRING_UCS2);
    for (char16_t unit : text) Put16(out, unit);
    Put16(out, 0);
  }
  out.push_back(EFI_HII_SIBT_END);
  const uint32_t header = static_cast<uint32_t>(out.size()) | (uint32_t{EFI_HII_PACKAGE_STRINGS} << 24);
  std::memcpy(out.data(), &header, 4);
  return out;
}

uint16_t Word(const uint8_t *bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

}  // namespace

std::string Utf8(const std::u16string &text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return out;
}

std::vector<uint8_t> SetupForm::BuildPackageList(const SetupFormLayout &layout) {
  std::vector<uint8_t> list(sizeof(EFI_HII_PACKAGE_LIST_HEADER), 0);
  std::memcpy(list.data(), &kFormSetGuid, sizeof(EFI_GUID));
  for (unsigned copy = 0; copy < layout.formsPackages; ++copy) {
    std::vector<uint8_t> forms = FormsPackage(layout);
    list.insert(list.end(), forms.begin(), forms.end());
  }
  for (const std::string &language : layout.languages) {
    std::vector<uint8_t> strings = StringsPackage(language);
    list.insert(list.end(), strings.begin(), strings.end());
  }
  Put32(list, 4u | (uint32_t{EFI_HII_PACKAGE_END} << 24));
  const uint32_t length = static_cast<uint32_t>(list.size());
  std::memcpy(list.data() + 16, &length, 4);
  return list;
}

SetupForm::SetupForm(Platform &platform, SetupFormLayout layout) : platform_(platform) {
  HiiModel *hii = platform.Core().Hii();
  if (hii != nullptr) hii->NewPackageList(BuildPackageList(layout), nullptr, &handle_);
}

EFI_STATUS SetupForm::CallFillForm(uint8_t slotCount) {
  void *interface = nullptr;
  if (platform_.Core().Protocols().Locate(gDiskInfoFormProtocolGuid, nullptr, &interface) != EFI_SUCCESS) {
    return EFI_NOT_FOUND;
  }
  auto *form = static_cast<DISK_INFO_FORM_PROTOCOL *>(interface);
  ActorScope actor(platform_, "setup");
  return platform_.Call(form->FillForm, form, slotCount, handle_);
}

// Statements of form 1 in order, until the form's scope closes.
std::vector<std::string> SetupForm::Render(const std::string &language) const {
  return Render(platform_, handle_, language);
}

std::vector<EFI_HII_HANDLE> SetupForm::Registered(Platform &platform) {
  const HiiModel *hii = platform.Core().Hii();
  return hii == nullptr ? std::vector<EFI_HII_HANDLE>{} : hii->Handles(kFormSetGuid);
}

std::vector<std::string> SetupForm::Render(Platform &platform, EFI_HII_HANDLE handle_, const std::string &language) {
  std::vector<std::string> lines;
  const HiiModel *hii = platform.Core().Hii();
  if (hii == nullptr) return lines;
  auto text = [&](uint16_t id) {
    std::u16string value;
    return hii->GetString(language, handle_, id, &value) == EFI_SUCCESS ? Utf8(value) : std::string();
  };
  for (const std::vector<uint8_t> &package : hii->FormsPackages(handle_)) {
    size_t at = 4;
    int depth = 0;
    int formDepth = -1;  // depth inside form 1, or -1 outside it
    while (at + 2 <= package.size()) {
      const uint8_t *op = package.data() + at;
      const size_t length = op[1] & 0x7F;
      if (length < 2 || at + length > package.size()) break;
      const bool scope = (op[1] & 0x80) != 0;
      if (op[0] == EFI_IFR_FORM_OP && length >= 6) {
        formDepth = Word(op + 2) == 1 ? depth + 1 : -1;
        if (formDepth >= 0) lines.push_back(text(Word(op + 4)));
      } else if (formDepth >= 0 && op[0] == EFI_IFR_SUBTITLE_OP && length >= 6) {
        lines.push_back("  " + text(Word(op + 2)));
      } else if (formDepth >= 0 && op[0] == EFI_IFR_TEXT_OP && length >= 8) {
        lines.push_back("  " + text(Word(op + 2)) + text(Word(op + 6)));
      }
      if (scope) ++depth;
      if (op[0] == EFI_IFR_END_OP) {
        if (depth == formDepth) formDepth = -1;
        --depth;
      }
      at += length;
    }
  }
  return lines;
}

std::string SetupForm::RenderText(const std::string &language) const {
  std::string out;
  for (const std::string &line : Render(language)) out += line + "\n";
  return out;
}

}  // namespace sim
