#include "platform_sim/report/report.h"

#include <iomanip>
#include <nlohmann/json.hpp>

#include "platform_sim/report/disk_info_report.h"
#include "platform_sim/report/json_report.h"
#include "platform_sim/report/power_event_log_report.h"
#include "platform_sim/trace/hex_text.h"

namespace sim {

using json = nlohmann::ordered_json;

namespace {

std::string Text(const json &value) { return value.get<std::string>(); }

// The first sixteen bytes of a hex string ("00 01 ..."), then " ..." when there are more.
std::string FirstBytes(const std::string &hex) {
  constexpr size_t kShown = 16 * 3 - 1;
  return hex.size() > kShown ? hex.substr(0, kShown) + " ..." : hex;
}

std::string Target(const json &pointer) {
  const std::string target = Text(pointer["target"]);
  return target.empty() ? "" : " (" + target + ")";
}

void WriteEffects(std::ostream &out, const json &report) {
  uint64_t boot = 0;
  for (const json &effect : report["effects"]) {
    if (effect["boot"].get<uint64_t>() != boot) {
      boot = effect["boot"].get<uint64_t>();
      out << "\n== boot " << boot << " ==\n";
    }
    if (effect["kind"] == "boot") continue;
    out << "  " << std::left << std::setw(22) << Text(effect["actor"]) << std::setw(14) << Text(effect["kind"])
        << Text(effect["what"]) << "\n";
  }
}

void WriteDevices(std::ostream &out, const json &report) {
  out << "Variables:\n";
  for (const json &variable : report["variables"]) {
    out << "  " << Text(variable["name"]) << " {" << Text(variable["guid"]) << "} attributes 0x" << std::hex
        << variable["attributes"].get<uint32_t>() << std::dec << ", " << variable["size"].get<uint64_t>()
        << " bytes: " << FirstBytes(Text(variable["data"])) << "\n";
  }
  out << "CMOS bank 2:";
  if (report["cmos"]["bank2"].empty()) out << " all zero";
  for (const auto &[index, value] : report["cmos"]["bank2"].items()) out << " " << index << "=" << Text(value);
  out << "\n";
  const json &ec = report["ec"];
  out << "EC bytes taken: " << Text(ec["taken"]) << "\n";
  if (!Text(ec["lost"]).empty()) out << "EC bytes lost: " << Text(ec["lost"]) << "\n";
  for (const json &transaction : ec["transactions"]) {
    out << "  EC command " << Text(transaction["command"]) << " data [" << Text(transaction["data"]) << "]";
    if (!transaction["answer"].is_null()) out << " answered " << Text(transaction["answer"]);
    out << "\n";
  }
  if (!report["postCodes"].empty()) {
    out << "Post codes (port 0x80):";
    for (const json &code : report["postCodes"]) {
      out << " " << Text(code["value"]) << " (" << code["bits"].get<unsigned>() << "-bit)";
    }
    out << "\n";
  }
  if (!report["traceHub"].empty()) {
    out << "Trace-hub messages:\n";
    for (const json &message : report["traceHub"]) out << "  " << Text(message) << "\n";
  }
}

void WriteFlash(std::ostream &out, const json &report) {
  const json &flash = report["flash"];
  out << "Flash: " << Text(flash["part"]) << "\n";
  const json &chosen = flash["chosen"];
  if (!chosen.is_null()) {
    out << "Chosen flash device (PCD " << chosen["pcd"].get<uint64_t>() << "): ";
    if (chosen["token"].get<uint64_t>() == 0) {
      out << "none yet\n";
    } else {
      out << "token " << HexNumber(chosen["token"].get<uint64_t>()) << " \"" << Text(chosen["firstName"]) << "\" \""
          << Text(chosen["secondName"]) << "\"\n";
    }
  }
  out << "Flash commands: " << flash["erases"].get<uint64_t>() << " erase, " << flash["programs"].get<uint64_t>()
      << " program\n";
  if (!report["log"].is_null()) WritePowerEventLog(out, report["log"]);
}

void WriteFirmware(std::ostream &out, const json &report) {
  out << "Images:\n";
  for (const json &image : report["images"]) {
    out << "  " << Text(image["name"]) << ": entry "
        << (image["entry"].is_null() ? std::string("did not return") : Text(image["entry"]))
        << (image["unloaded"].get<bool>() ? ", unloaded" : "") << "\n";
  }
  out << "Findings and faults: " << report["findings"].size() << (report["strict"].get<bool>() ? " (strict)" : "")
      << "\n";
  for (const json &finding : report["findings"]) {
    out << "  boot " << finding["boot"].get<uint64_t>() << " " << Text(finding["kind"]) << " " << Text(finding["actor"])
        << ": " << Text(finding["what"]) << "\n";
  }
  const json &fixups = report["addressFixups"];
  out << "Address fix-up registrations: " << fixups["registrations"].size() << "\n";
  for (const json &registration : fixups["registrations"]) {
    out << "  pointer variable " << Text(registration["variable"]) << " of " << Text(registration["owner"])
        << ", holds " << Text(registration["holds"]) << Target(registration) << "\n";
  }
  if (!fixups["conversions"].empty()) {
    out << "Pointer conversions at the change to virtual addressing: " << fixups["conversions"].size() << "\n";
    for (const json &conversion : fixups["conversions"]) {
      out << "  " << Text(conversion["caller"]) << ": variable " << Text(conversion["variable"]) << " holding "
          << Text(conversion["holds"]) << Target(conversion) << " -> " << Text(conversion["status"]) << "\n";
    }
  }
  const json &s3 = report["s3BootScript"];
  if (s3.is_null()) {
    out << "S3 boot-script record: none\n";
  } else {
    out << "S3 boot-script record at " << Text(s3["address"]) << " (" << Text(s3["memoryType"]) << "): table "
        << Text(s3["table"]) << ", " << s3["bytesUsed"].get<uint64_t>() << " bytes used, "
        << s3["pages"].get<uint64_t>() << " pages, " << (s3["closed"].get<bool>() ? "closed" : "open") << "\n";
  }
  out << "Lock boxes: " << report["lockBoxes"].size() << "\n";
  for (const json &box : report["lockBoxes"]) {
    out << "  " << Text(box["guid"]) << ": " << box["size"].get<uint64_t>() << " bytes from " << Text(box["source"])
        << ", attributes " << Text(box["attributes"]) << ", saved by " << Text(box["owner"]) << ":"
        << (box["size"].get<uint64_t>() ? " " : "") << FirstBytes(Text(box["contents"])) << "\n";
  }
  if (!report["sx"].empty()) {
    out << "Sx registrations: " << report["sx"].size() << "\n";
    for (const json &registration : report["sx"]) {
      out << "  " << Text(registration["state"]) << " " << Text(registration["phase"]) << " by "
          << Text(registration["owner"]) << "\n";
    }
  }
  out << "Driver pool and pages still allocated: " << report["driverAllocations"].size() << "\n";
  for (const json &block : report["driverAllocations"]) {
    out << "  " << Text(block["address"]) << " " << block["size"].get<uint64_t>() << " bytes "
        << Text(block["memoryType"]) << "\n";
  }
}

}  // namespace

void WriteReport(std::ostream &out, const json &report) {
  out << "Platform \"" << Text(report["platform"]) << "\", TSC " << report["tscHz"].get<uint64_t>() << " Hz\n";
  WriteEffects(out, report);
  out << "\n== state after the run ==\n";
  WriteDevices(out, report);
  WriteFlash(out, report);
  WriteDiskInfoReport(out, report["disks"], report["forms"]);
  WriteFirmware(out, report);
}

void WriteReport(std::ostream &out, Platform &platform) { WriteReport(out, ReportJson(platform)); }

}  // namespace sim
