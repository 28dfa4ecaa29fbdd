#include "platform_sim/report/report.h"

#include <cstring>
#include <iomanip>
#include <sstream>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/flash/flash_report.h"
#include "platform_sim/report/disk_info_report.h"
#include "platform_sim/report/power_event_log_report.h"
#include "platform_sim/report/symbolic_address.h"
#include "platform_sim/platform.h"
#include "runtime/shared_state/s3_boot_script.h"
#include "runtime/uefi/guids.h"

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

std::string Address(uint64_t value) {
  std::ostringstream text;
  text << "0x" << std::hex << std::uppercase << value;
  return text.str();
}

// What a pointer points at, when it is something the platform handed out by name.
std::string Target(Platform &platform, uint64_t value) {
  if (value == reinterpret_cast<uint64_t>(platform.SystemTable()->RuntimeServices)) return " (runtime services)";
  if (value == reinterpret_cast<uint64_t>(platform.SystemTable()->BootServices)) return " (boot services)";
  for (const HandleRecord &handle : platform.Core().Protocols().Handles()) {
    for (const ProtocolEntry &entry : handle.protocols) {
      if (entry.interface != nullptr && reinterpret_cast<uint64_t>(entry.interface) == value) {
        return " (" + GuidName(entry.guid) + " interface)";
      }
    }
  }
  return "";
}

// Firmware rules the images broke, and calls the platform refused or could not serve.
void WriteFindings(std::ostream &out, Platform &platform) {
  std::vector<Effect> findings;
  for (const Effect &effect : platform.Trace().All()) {
    if (effect.kind == EffectKind::Finding || effect.kind == EffectKind::Fault) findings.push_back(effect);
  }
  out << "Findings and faults: " << findings.size() << (platform.Strict() ? " (strict)" : "") << "\n";
  for (const Effect &effect : findings) {
    out << "  boot " << effect.boot << " " << EffectKindName(effect.kind) << " " << effect.actor << ": " << effect.what
        << "\n";
  }
}

// The pointer variables registered for conversion at the change to virtual addressing.
void WriteAddressFixups(std::ostream &out, Platform &platform, const AddressNames &names) {
  const uint32_t boot = platform.BootNumber();
  const auto &registrations = platform.Core().AddressFixups().Registrations();
  out << "Address fix-up registrations: " << registrations.size() << "\n";
  for (const PointerRegistration &registration : registrations) {
    uint64_t value = 0;
    std::memcpy(&value, reinterpret_cast<const void *>(registration.variable), sizeof(value));
    out << "  pointer variable " << names.Name(registration.variable, boot) << " of " << registration.owner
        << ", holds " << names.Name(value, boot) << Target(platform, value) << "\n";
  }
  const auto &conversions = platform.Core().VirtualAddresses().Conversions();
  if (conversions.empty()) return;
  out << "Pointer conversions at the change to virtual addressing: " << conversions.size() << "\n";
  for (const PointerConversion &conversion : conversions) {
    out << "  " << conversion.caller << ": variable " << names.Name(conversion.variable, boot) << " holding "
        << names.Name(conversion.value, boot) << Target(platform, conversion.value) << " -> "
        << StatusText(conversion.status) << "\n";
  }
}

// The shared S3 boot-script private record, found through its PCD.
void WriteS3Record(std::ostream &out, Platform &platform) {
  uint64_t address =
      platform.Pcds().Number(platform.Pcds().Find(gS3BootScriptTokenSpaceGuid, S3_BOOT_SCRIPT_PRIVATE_PCD));
  const Allocation *block = address == 0 ? nullptr : platform.Memory().Find(address);
  if (block == nullptr || block->address + block->size < address + sizeof(S3_BOOT_SCRIPT_PRIVATE)) {
    out << "S3 boot-script record: none\n";
    return;
  }
  // The drivers' own layout of the record.
  S3_BOOT_SCRIPT_PRIVATE record;
  std::memcpy(&record, reinterpret_cast<const void *>(address), sizeof(record));
  out << "S3 boot-script record at " << Address(address) << " (" << MemoryTypeName(block->type) << "): table "
      << Address(record.TableAddress) << ", " << record.BytesUsed << " bytes used, " << record.TablePages << " pages, "
      << (record.Closed ? "closed" : "open") << "\n";
}

}  // namespace

void WriteReport(std::ostream &out, Platform &platform) {
  const AddressNames names(platform);
  out << "Platform \"" << platform.Profile().name << "\", TSC " << platform.Profile().tscHz << " Hz\n";

  uint32_t boot = 0;
  for (const Effect &effect : platform.Trace().All()) {
    if (effect.boot != boot) {
      boot = effect.boot;
      out << "\n== boot " << boot << " ==\n";
    }
    if (effect.kind == EffectKind::BootStart) continue;
    out << "  " << std::left << std::setw(22) << effect.actor << std::setw(14) << EffectKindName(effect.kind)
        << names.Rewrite(effect.what, effect.boot) << "\n";
  }

  out << "\n== state after the run ==\n";
  out << "Variables:\n";
  for (const Variable &variable : platform.Variables().All()) {
    out << "  " << Ucs2ToUtf8(variable.name.c_str()) << " {" << GuidName(variable.guid) << "} attributes 0x" << std::hex
        << variable.attributes << std::dec << ", " << variable.data.size() << " bytes: "
        << Hex(std::vector<uint8_t>(variable.data.begin(), variable.data.begin() + static_cast<long>(std::min<size_t>(
                                                                                       variable.data.size(), 16))))
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
  if (!platform.PostCodes().Codes().empty()) {
    out << "Post codes (port 0x80):";
    for (const PostCodeWrite &code : platform.PostCodes().Codes()) {
      out << " 0x" << std::hex << std::uppercase << std::right << std::setw(static_cast<int>(code.width * 2))
          << std::setfill('0') << code.value << std::dec << std::setfill(' ') << " (" << code.width * 8 << "-bit)";
    }
    out << "; CMOS bank 2 0x6A=0x" << Hex({platform.Cmos2().Get(0x6A)}) << "\n";
  }
  if (!platform.TraceHubWindow().Messages().empty()) {
    out << "Trace-hub messages:\n";
    for (const TraceHubMessage &message : platform.TraceHubWindow().Messages()) {
      out << "  " << DescribeTraceHubMessage(message) << "\n";
    }
  }
  WriteFlashReport(out, platform);
  WritePowerEventLog(out, platform);
  WriteDiskInfoReport(out, platform);
  out << "Images:\n";
  for (const LoadedImage &image : platform.Images().Loaded()) {
    out << "  " << image.name << ": entry "
        << (image.entryReturned ? StatusText(image.entryStatus) : std::string("did not return"))
        << (image.unloaded ? ", unloaded" : "") << "\n";
  }
  WriteFindings(out, platform);
  WriteAddressFixups(out, platform, names);
  WriteS3Record(out, platform);
  const auto boxes = platform.Core().LockBoxes().Describe();
  out << "Lock boxes: " << boxes.size() << "\n";
  for (const std::string &box : boxes) out << "  " << names.Rewrite(box, platform.BootNumber()) << "\n";
  auto leaks = platform.Memory().DriverAllocations();
  out << "Driver pool and pages still allocated: " << leaks.size() << "\n";
  for (const Allocation &block : leaks) {
    out << "  0x" << std::hex << block.address << std::dec << " " << block.size << " bytes "
        << MemoryTypeName(block.type) << "\n";
  }
}

}  // namespace sim
