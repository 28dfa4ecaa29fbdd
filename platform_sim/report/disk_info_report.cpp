#include "platform_sim/report/disk_info_report.h"

#include "disk_info/disk_info.h"
#include "platform_sim/hii/hii_model.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"

namespace sim {

void WriteDiskInfoReport(std::ostream &out, Platform &platform) {
  void *interface = nullptr;
  if (platform.Core().Protocols().Locate(gDiskInfoFormProtocolGuid, nullptr, &interface) != EFI_SUCCESS) return;
  const DiskInfoPrivate *p = PrivateFromForm(interface);
  const uint64_t ata = p->AtaDeviceCount, nvme = p->NvmeCount, optical = p->OpticalCount;
  const unsigned controllers = p->ControllerCount;
  out << "Drives found by DiskInfoSetupDxe: " << controllers << " storage controllers, " << ata << " ATA disks, "
      << nvme << " NVMe namespaces, " << optical << " optical drive" << (optical == 1 ? "" : "s") << "\n";
  const HiiModel *hii = platform.Core().Hii();
  if (hii == nullptr) return;
  for (EFI_HII_HANDLE handle : SetupForm::Registered(platform)) {
    auto languages = hii->Languages(handle);
    if (!languages) continue;
    size_t start = 0;
    while (start <= languages->size()) {
      size_t end = languages->find(';', start);
      if (end == std::string::npos) end = languages->size();
      const std::string language = languages->substr(start, end - start);
      out << "Setup form 1 (" << language << "):\n";
      for (const std::string &line : SetupForm::Render(platform, handle, language)) out << "  | " << line << "\n";
      start = end + 1;
    }
  }
}

}  // namespace sim
