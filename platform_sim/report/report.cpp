#include "platform_sim/report/report.h"

#include <iomanip>
#include <sstream>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/flash/flash_report.h"
#include "platform_sim/platform.h"

namespace sim {

namespace {

std::string Hex(const std::vector<uint8_t> &bytes) {
  std::ostringstream text;
  for (size_t index = 0; index < bytes.size(); ++index) {
    text << (index ? " " : "") << std::hex << std::uppercase << std::setw(2) << std::setfill('0')
         << static_cast<int>(bytes[index]);
  }
  return text.str();
}

}  // namespace

void WriteReport(std::ostream &out, Platform &platform) {
  out << "Platform \"" << platform.Profile().name << "\", TSC " << platform.Profile().tscHz << " Hz\n";

  uint32_t boot = 0;
  for (const Effect &effect : platform.Trace().All()) {
    if (effect.boot != boot) {
      boot = effect.boot;
      out << "\n== boot " << boot << " ==\n";
    }
    if (effect.kind == EffectKind::BootStart) continue;
    out << "  " << std::left << std::setw(22) << effect.actor << std::setw(14) << EffectKindName(effect.kind)
        << effect.what << "\n";
  }

  out << "\n== state after the run ==\n";
  out << "Variables:\n";
  for (const Variable &variable : platform.Variables().All()) {
    out << "  " << Ucs2ToUtf8(variable.name.c_str()) << " {" << GuidName(variable.guid) << "} attributes 0x"
        << std::hex << variable.attributes << std::dec << ", " << variable.data.size() << " bytes: "
        << Hex(std::vector<uint8_t>(variable.data.begin(),
                                    variable.data.begin() + static_cast<long>(std::min<size_t>(variable.data.size(), 16))))
        << (variable.data.size() > 16 ? " ..." : "") << "\n";
  }
  out << "CMOS bank 2: 0x47=0x" << std::hex << std::uppercase << static_cast<int>(platform.Cmos2().Get(0x47))
      << " 0x50=0x" << static_cast<int>(platform.Cmos2().Get(0x50)) << " 0x58=0x"
      << static_cast<int>(platform.Cmos2().Get(0x58)) << std::dec << "\n";
  out << "EC bytes taken: " << Hex(platform.Ec().Wire()) << "\n";
  if (!platform.Ec().LostBytes().empty()) out << "EC bytes lost: " << Hex(platform.Ec().LostBytes()) << "\n";
  for (const EcTransaction &transaction : platform.Ec().Transactions()) {
    out << "  EC command 0x" << Hex({transaction.command}) << " data [" << Hex(transaction.data) << "]";
    if (transaction.answer) out << " answered 0x" << Hex({*transaction.answer});
    out << "\n";
  }
  WriteFlashReport(out, platform);
  out << "Images:\n";
  for (const LoadedImage &image : platform.Images().Loaded()) {
    out << "  " << image.name << ": entry "
        << (image.entryReturned ? StatusText(image.entryStatus) : std::string("did not return")) << "\n";
  }
  auto leaks = platform.Memory().DriverAllocations();
  out << "Driver pool and pages still allocated: " << leaks.size() << "\n";
  for (const Allocation &block : leaks) {
    out << "  0x" << std::hex << block.address << std::dec << " " << block.size << " bytes "
        << MemoryTypeName(block.type) << "\n";
  }
}

}  // namespace sim
