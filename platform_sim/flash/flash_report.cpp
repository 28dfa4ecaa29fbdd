#include "platform_sim/flash/flash_report.h"

#include <iomanip>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"

namespace sim {

namespace {
std::string Name(PcdDatabase &pcds, const EFI_GUID &space, UINTN token) {
  PcdEntry *entry = pcds.Find(space, token);
  if (entry == nullptr) return "";
  std::string text(entry->value.begin(), entry->value.end());
  return text.substr(0, text.find('\0'));
}
}  // namespace

void WriteFlashReport(std::ostream &out, Platform &platform) {
  FlashHardware &flash = platform.Flash();
  out << "Flash: " << flash.Description() << "\n";
  PcdDatabase &pcds = platform.Pcds();
  PcdEntry *chosen = pcds.Find(kChosenFlashToken);
  if (chosen != nullptr) {
    auto token = static_cast<UINTN>(pcds.Number(chosen));
    out << "Chosen flash device (PCD 433): ";
    if (token == 0) {
      out << "none yet\n";
    } else {
      out << "token 0x" << std::hex << std::uppercase << token << std::dec << " \""
          << Name(pcds, gFlashFirstNameTokenSpaceGuid, token) << "\" \""
          << Name(pcds, gFlashSecondNameTokenSpaceGuid, token) << "\"\n";
    }
  }
  out << "Flash commands: " << flash.Monitor().Erases() << " erase, " << flash.Monitor().Programs() << " program\n";
}

}  // namespace sim
