// The drive form on the default platform's storage, and how FillForm places its lines.
#include "platform_sim/profile/default_storage.h"
#include "tests/disk_info/disk_fixture.h"

namespace {

using disktest::DiskPlatform;

const std::vector<std::string> kDefaultForm = {
    "Drive Information",
    "  Installed drives",
    "  HDD Model Name: Samsung SSD 980 PRO 1TB                 ",
    "  HDD Serial Number: S5GXNX0T123456A     ",
    "  HDD Model Name: Samsung SSD 870 EVO 500GB",
    "  HDD Serial Number: S62ANJ0R412345K",
    "  HDD Model Name: WDC WD10EZEX-08WN4A0",
    "  HDD Serial Number: WD-WCC6Y3KJ5921",
    "  ODD Model Name: HL-DT-ST DVDRAM GUD1N",
    "  Drive power management: Enabled",
};

TEST(DiskInfoForm, TheDefaultPlatformsDrivesInEveryLanguage) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  sim::ConnectDefaultStorage(dp.bus);
  sim::SetupForm form(dp.platform);
  EXPECT_EQ(form.CallFillForm(4), EFI_SUCCESS);
  EXPECT_EQ(form.Render("en-US"), kDefaultForm);
  std::vector<std::string> french = kDefaultForm;
  french[0] = "Informations sur les disques";
  french[1] = "  Disques install\u00e9s";
  french.back() = "  Gestion de l'alimentation des disques : Activ\u00e9";
  EXPECT_EQ(form.Render("fr-FR"), french);
  EXPECT_EQ(simtest::CountEffects(dp.platform, sim::EffectKind::Fault), 0u);
}

TEST(DiskInfoForm, SlotCountLimitsTheDriveLines) {
  struct Case {
    uint8_t slots;
    std::vector<size_t> lines;  // indexes into the default form
  };
  const Case cases[] = {
      {0, {0, 1, 8, 9}},
      {1, {0, 1, 2, 3, 4, 5, 8, 9}},
      {9, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},  // ATA slots stop at the rows of the map
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.slots));
    DiskPlatform dp;
    ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
    sim::ConnectDefaultStorage(dp.bus);
    sim::SetupForm form(dp.platform);
    EXPECT_EQ(form.CallFillForm(c.slots), EFI_SUCCESS);
    std::vector<std::string> expected;
    for (size_t index : c.lines) expected.push_back(kDefaultForm[index]);
    EXPECT_EQ(form.Render("en-US"), expected);
  }
}

TEST(DiskInfoForm, ASecondFillPutsItsLinesBeforeTheFirst) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  auto controller = dp.AddController(0x8086, 0xFFFF, 0x17, 0);
  controller.ata->Attach(1, 0xFFFF, disktest::Disk("FIRST", "S1"));
  dp.InstallPassThru(controller);
  dp.InstallSataDiskInfo(controller, 1, 0xFFFF, disktest::Disk("FIRST", "S1"));
  dp.AnotherAtaPassThru();  // the scan now finds the Disk Info handle
  sim::SetupForm form(dp.platform);
  EXPECT_EQ(form.CallFillForm(3), EFI_INVALID_PARAMETER);
  ASSERT_EQ(disktest::Val(dp.Private()->AtaDeviceCount), 1u);
  // Tell the two sets apart: the kept IDENTIFY copy's first model character changes.
  dp.Private()->AtaDeviceTable[0].IdentifyData[55] = 'X';
  EXPECT_EQ(form.CallFillForm(3), EFI_INVALID_PARAMETER);
  EXPECT_EQ(form.Render("en-US"),
            (std::vector<std::string>{"Drive Information", "  Installed drives", "  HDD Model Name: XIRST",
                                      "  HDD Serial Number: S1", "  HDD Model Name: FIRST", "  HDD Serial Number: S1",
                                      "  Drive power management: Enabled"}));
}

TEST(DiskInfoForm, AFormWhoseLabelDiffersReceivesNothing) {
  struct Case {
    const char *name;
    sim::SetupFormLayout layout;
  };
  sim::SetupFormLayout otherNumber;
  otherNumber.label = 0xAE01;
  sim::SetupFormLayout otherGuid;
  otherGuid.labelGuid.Data4[7] ^= 1;
  sim::SetupFormLayout otherForm;
  otherForm.drivesFormId = 3;
  for (const Case &c : {Case{"label number", otherNumber}, Case{"label GUID", otherGuid}, Case{"form", otherForm}}) {
    SCOPED_TRACE(c.name);
    DiskPlatform dp;
    ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
    sim::ConnectDefaultStorage(dp.bus);
    sim::SetupForm form(dp.platform, c.layout);
    auto before = dp.platform.Core().Hii()->FormsPackages(form.Handle());
    EXPECT_EQ(form.CallFillForm(4), EFI_SUCCESS) << "the optical lookup's status";
    EXPECT_EQ(dp.platform.Core().Hii()->FormsPackages(form.Handle()), before);
    EXPECT_EQ(dp.platform.Core().Hii()->Updates(), 0u);
  }
}

// Every forms package that holds the label gets the lines; the new list has room for all.
TEST(DiskInfoForm, TwoFormsPackagesAreBothRewritten) {
  DiskPlatform dp;
  ASSERT_EQ(dp.LoadDriver().entryStatus, EFI_SUCCESS);
  sim::ConnectDefaultStorage(dp.bus);
  sim::SetupFormLayout layout;
  layout.formsPackages = 2;
  sim::SetupForm form(dp.platform, layout);
  EXPECT_EQ(form.CallFillForm(4), EFI_SUCCESS);
  std::vector<std::string> twice = kDefaultForm;
  std::vector<std::string> second(kDefaultForm.begin(), kDefaultForm.end());
  twice.insert(twice.end(), second.begin(), second.end());
  EXPECT_EQ(form.Render("en-US"), twice);
  EXPECT_EQ(simtest::CountEffects(dp.platform, sim::EffectKind::Fault), 0u);
}

}  // namespace
