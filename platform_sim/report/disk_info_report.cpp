#include "platform_sim/report/disk_info_report.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "disk_info/disk_info.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"
#include "platform_sim/storage/identify_blocks.h"

namespace sim {

namespace {

using json = nlohmann::ordered_json;

json AtaDrive(const char *bus, const UINT8 *identify) {
  json drive = {{"bus", bus}};
  if (identify == nullptr) return drive;
  drive["model"] = GetAtaString(identify + kAtaModelOffset, kAtaModelBytes);
  drive["serial"] = GetAtaString(identify + kAtaSerialOffset, kAtaSerialBytes);
  drive["firmware"] = GetAtaString(identify + kAtaFirmwareOffset, kAtaFirmwareBytes);
  return drive;
}

std::string Trimmed(const CHAR16 *text, size_t units) {
  std::u16string wide;
  for (size_t index = 0; index < units && text[index] != 0; ++index) wide += text[index];
  std::string narrow = Utf8(wide);
  while (!narrow.empty() && narrow.back() == ' ') narrow.pop_back();
  return narrow;
}

}  // namespace

json DescribeDiskInfo(Platform &platform) {
  void *interface = nullptr;
  if (platform.Core().Protocols().Locate(gDiskInfoFormProtocolGuid, nullptr, &interface) != EFI_SUCCESS) {
    return nullptr;
  }
  // The records are packed: each is copied out before its fields are read.
  DiskInfoPrivate p;
  std::memcpy(&p, PrivateFromForm(interface), sizeof(p));
  json drives = json::array();
  for (UINT64 index = 0; p.AtaDeviceTable != nullptr && index < p.AtaDeviceCount; ++index) {
    AtaDeviceRecord record;
    std::memcpy(&record, &p.AtaDeviceTable[index], sizeof(record));
    json drive = AtaDrive("ATA", record.IdentifyData);
    drive["port"] = static_cast<unsigned>(record.Port);
    drives.push_back(drive);
  }
  for (UINT64 index = 0; p.NvmeTable != nullptr && index < p.NvmeCount; ++index) {
    NvmeDriveRecord record;
    std::memcpy(&record, &p.NvmeTable[index], sizeof(record));
    drives.push_back({{"bus", "NVMe"},
                      {"namespace", static_cast<unsigned>(record.NamespaceId)},
                      {"model", Trimmed(record.ModelName, sizeof(record.ModelName) / sizeof(CHAR16))},
                      {"serial", Trimmed(record.SerialNumber, sizeof(record.SerialNumber) / sizeof(CHAR16))}});
  }
  if (p.OpticalCount != 0) drives.push_back(AtaDrive("ATAPI", p.OpticalTable));
  return {{"controllers", static_cast<unsigned>(p.ControllerCount)},
          {"ataDisks", static_cast<uint64_t>(p.AtaDeviceCount)},
          {"nvmeNamespaces", static_cast<uint64_t>(p.NvmeCount)},
          {"opticalDrives", static_cast<uint64_t>(p.OpticalCount)},
          {"drives", drives}};
}

void WriteDiskInfoReport(std::ostream &out, const json &diskInfo, const json &forms) {
  if (diskInfo.is_null()) return;
  const unsigned optical = diskInfo["opticalDrives"].get<unsigned>();
  out << "Drives found by DiskInfoSetupDxe: " << diskInfo["controllers"].get<unsigned>() << " storage controllers, "
      << diskInfo["ataDisks"].get<unsigned>() << " ATA disks, " << diskInfo["nvmeNamespaces"].get<unsigned>()
      << " NVMe namespaces, " << optical << " optical drive" << (optical == 1 ? "" : "s") << "\n";
  for (const json &drive : diskInfo["drives"]) {
    out << "  " << drive["bus"].get<std::string>();
    if (drive.contains("port")) out << " port " << drive["port"].get<unsigned>();
    if (drive.contains("namespace")) out << " namespace " << drive["namespace"].get<unsigned>();
    for (const char *field : {"model", "serial", "firmware"}) {
      if (drive.contains(field)) out << ", " << field << " \"" << drive[field].get<std::string>() << "\"";
    }
    out << "\n";
  }
  for (const json &form : forms) {
    out << "Setup form 1 (" << form["language"].get<std::string>() << "):\n";
    for (const json &line : form["lines"]) out << "  | " << line.get<std::string>() << "\n";
  }
}

}  // namespace sim
