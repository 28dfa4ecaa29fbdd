#include "tools/simulator/form_report.h"

#include <nlohmann/json.hpp>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/hii/setup_form.h"
#include "platform_sim/platform.h"
#include "platform_sim/report/disk_info_report.h"
#include "platform_sim/report/json_report.h"

namespace simulator {

using json = nlohmann::ordered_json;

json FormJson(sim::Platform &platform, bool ok, const std::string &problems, EFI_STATUS fillForm) {
  const json report = sim::ReportJson(platform);
  json languages = json::array();
  for (const json &form : report["forms"]) languages.push_back(form["language"]);
  // A form nobody can see is no success, whatever FillForm answered.
  std::string said = problems;
  if (report["forms"].empty()) said += "no setup form is registered in the HII database\n";
  return {{"platform", report["platform"]},
          {"ok", ok && !report["forms"].empty()},
          {"problems", said},
          {"fillForm", sim::StatusText(fillForm)},
          {"disks", report["disks"]},
          {"languages", languages},
          {"forms", report["forms"]},
          {"images", report["images"]},
          {"findings", report["findings"]}};
}

void WriteFormReport(std::ostream &out, const json &form) {
  out << "Platform \"" << form["platform"].get<std::string>() << "\": FillForm -> "
      << form["fillForm"].get<std::string>() << "\n";
  if (form["disks"].is_null()) out << "DiskInfoSetupDxe published no drive form\n";
  sim::WriteDiskInfoReport(out, form["disks"], form["forms"]);
  out << "Findings and faults: " << form["findings"].size() << "\n";
  for (const json &finding : form["findings"]) {
    out << "  boot " << finding["boot"].get<uint64_t>() << " " << finding["kind"].get<std::string>() << " "
        << finding["actor"].get<std::string>() << ": " << finding["what"].get<std::string>() << "\n";
  }
}

}  // namespace simulator
