// The main job's default run shows the drives DiskInfoSetupDxe found and the form.
#include <gtest/gtest.h>

#include <sstream>

#include "platform_sim/platform.h"
#include "platform_sim/report/report.h"
#include "tools/simulator/scenario.h"

namespace {

TEST(MainJob, ReportsTheDrivesAndTheRenderedForm) {
  sim::Platform platform;
  std::ostringstream log;
  ASSERT_TRUE(simulator::RunDefaultScenario(platform, log)) << log.str();
  std::ostringstream report;
  sim::WriteReport(report, platform);
  const std::string text = report.str();
  for (const char *expected :
       {"Drives found by DiskInfoSetupDxe: 2 storage controllers, 2 ATA disks, 1 NVMe namespaces, 1 optical drive\n",
        "Setup form 1 (en-US):\n  | Drive Information\n  |   Installed drives\n"
        "  |   HDD Model Name: Samsung SSD 980 PRO 1TB                 \n",
        "  |   HDD Model Name: WDC WD10EZEX-08WN4A0\n  |   HDD Serial Number: WD-WCC6Y3KJ5921\n"
        "  |   ODD Model Name: HL-DT-ST DVDRAM GUD1N\n",
        "Setup form 1 (fr-FR):\n  | Informations sur les disques\n", "note          FillForm -> EFI_SUCCESS"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
}

}  // namespace
