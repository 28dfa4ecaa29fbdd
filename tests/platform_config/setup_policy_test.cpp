// UpdateSetupPolicy: the policy byte, and "PchSetup" byte 23 kept in line with the
// manufacturing flag and the CMOS override, with a warm reset whenever it changes.
#include "tests/platform_config/config_fixture.h"

#include "platform_config/setup_records.h"
#include "tagstore/tag_store.h"
#include "tests/support/case_names.h"

namespace {

using configtest::ConfigDriver;
using configtest::ConfigProfile;
using configtest::PchSetup;
using configtest::PutVariable;

class SetupPolicy : public ConfigDriver {
 protected:
  // Runs the operation; true when it reset the platform instead of returning.
  bool Run(std::vector<uint8_t> &setup, EFI_STATUS *status) {
    try {
      *status = platform().Call(config_->UpdateSetupPolicy, config_, setup.data());
      return false;
    } catch (const sim::PlatformReset &reset) {
      EXPECT_EQ(reset.type, EfiResetWarm);
      return true;
    }
  }
};

TEST_F(SetupPolicy, PolicyByteIsSetOnlyWhenAllFourConditionsHoldAndNeverCleared) {
  auto profile = ConfigProfile();
  profile.cmosBank2[0x58] = 0xCC;  // hold: no variable access at all
  Boot(profile);
  struct Case {
    uint8_t conditions[4];
    uint8_t before, after;
  };
  for (const Case &c :
       {Case{{1, 1, 1, 1}, 0, 1}, Case{{1, 1, 1, 0}, 1, 1}, Case{{1, 1, 1, 0}, 0, 0}, Case{{2, 1, 1, 1}, 0, 0}}) {
    SCOPED_TRACE(::testing::Message() << "conditions " << int(c.conditions[0]) << int(c.conditions[1])
                                      << int(c.conditions[2]) << int(c.conditions[3]) << ", policy byte before "
                                      << int(c.before));
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    std::memcpy(&setup[234], c.conditions, 4);
    setup[233] = c.before;
    std::vector<uint8_t> original = setup;
    EFI_STATUS status = 0;
    EXPECT_FALSE(Run(setup, &status));
    EXPECT_EQ(status, EFI_SUCCESS);
    EXPECT_EQ(setup[233], c.after);
    setup[233] = original[233];
    EXPECT_EQ(setup, original) << "only byte 233 may change";
  }
  EXPECT_EQ(simtest::CountEffects(platform(), sim::EffectKind::VariableWrite, "caller"), 0u);
}

struct PchCase {
  const char *name;
  uint8_t mfg0Flag;
  uint8_t overrideMarker;
  uint8_t byte23;
  bool resets;
  uint8_t byte23After;
};
SIMTEST_PRINTS_CASE(PchCase)

class PchSetupDecision : public SetupPolicy, public ::testing::WithParamInterface<PchCase> {};

TEST_P(PchSetupDecision, Byte23FollowsManufacturingThenOverrideAndResetsOnChange) {
  const PchCase &c = GetParam();
  configtest::Manufacturing records;
  records.mfg0Flag = c.mfg0Flag;
  auto profile = ConfigProfile(records);
  profile.cmosBank2[0x50] = c.overrideMarker;
  PutVariable(profile, u"PchSetup", gPchSetupVariableGuid, PchSetup(c.byte23, 100));
  Boot(profile);
  std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
  EFI_STATUS status = 0;
  EXPECT_EQ(Run(setup, &status), c.resets);
  if (!c.resets) EXPECT_EQ(status, EFI_SUCCESS);
  const sim::Variable *pch = platform().Variables().Find(u"PchSetup", gPchSetupVariableGuid);
  ASSERT_NE(pch, nullptr);
  EXPECT_EQ(pch->data.size(), 100u) << "written back at the size it was read";
  EXPECT_EQ(pch->attributes, 0x7u);
  EXPECT_EQ(pch->data[23], c.byte23After);
  EXPECT_EQ(pch->data[22], 0x5A) << "other bytes unchanged";
  EXPECT_EQ(simtest::CountEffects(platform(), sim::EffectKind::Reset), c.resets ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, PchSetupDecision,
                         ::testing::Values(PchCase{"Mfg1ClearsByte23AndResets", 1, 0x00, 1, true, 0},
                                           PchCase{"Mfg1AlreadyClearNoReset", 1, 0xAA, 0, false, 0},
                                           PchCase{"OverrideAlreadyClearNoReset", 0, 0xAA, 0, false, 0},
                                           PchCase{"NeitherSetsByte23AndResets", 0, 0x00, 0, true, 1},
                                           PchCase{"OtherMarkerIsNoOverride", 0, 0xAB, 1, false, 1},
                                           PchCase{"Mfg2IsNotManufacturing", 2, 0x00, 1, false, 1},
                                           PchCase{"OverrideClearsAByte23Of2", 0, 0xAA, 2, true, 0},
                                           PchCase{"NeitherSetsAByte23Of2", 0, 0x00, 2, true, 1}),
                         simtest::CaseName<PchCase>);

TEST_F(SetupPolicy, VariableProblemsAreReportedWithoutWriteOrReset) {
  struct Case {
    const char *what;
    std::optional<std::vector<uint8_t>> pchSetup;
    bool failWrite;
    EFI_STATUS status;
  };
  std::vector<Case> cases = {
      {"absent", std::nullopt, false, EFI_NOT_FOUND},
      {"larger than the buffer", PchSetup(0, 1633), false, EFI_BUFFER_TOO_SMALL},
      {"too short to hold byte 23", PchSetup(0, 23), false, EFI_BAD_BUFFER_SIZE},
      {"write refused", PchSetup(0), true, EFI_WRITE_PROTECTED},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    auto profile = ConfigProfile();
    profile.cmosBank2[0x50] = 0x00;  // wants byte 23 = 1
    if (c.pchSetup) PutVariable(profile, u"PchSetup", gPchSetupVariableGuid, *c.pchSetup);
    Boot(profile);
    if (c.failWrite) platform().Variables().FailWrites(u"PchSetup", EFI_WRITE_PROTECTED);
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 1);
    setup[233] = 0;
    EFI_STATUS status = 0;
    EXPECT_FALSE(Run(setup, &status)) << c.what;
    EXPECT_EQ(status, c.status) << c.what;
    EXPECT_EQ(setup[233], 1) << c.what << ": the policy byte is applied first";
    if (c.pchSetup) EXPECT_EQ(Variable(u"PchSetup", gPchSetupVariableGuid), *c.pchSetup) << c.what;
  }
  Boot(ConfigProfile());
  EXPECT_EQ(platform().Call(config_->UpdateSetupPolicy, config_, nullptr), EFI_INVALID_PARAMETER);
}

TEST_F(SetupPolicy, AnUnreadableManufacturingRecordDecidesLikeErasedFlash) {
  // Erased flash reads 0xFF; without a tag store table, or with a shared table whose
  // "MFG0" is larger than the 256-byte buffer, the record counts as erased too, even
  // though the flash holds the manufacturing flag.
  enum class Record { Erased, NoTable, Oversized };
  for (Record record : {Record::Erased, Record::NoTable, Record::Oversized}) {
    configtest::Manufacturing records;
    records.mfg0Flag = record == Record::Erased ? 0xFF : 1;
    auto profile = ConfigProfile(records);
    profile.cmosBank2[0x50] = 0x00;
    PutVariable(profile, u"PchSetup", gPchSetupVariableGuid, PchSetup(0));
    platform_.reset();
    platform_ = std::make_unique<sim::Platform>(profile);
    if (record == Record::NoTable) platform().Memory().Faults().failType = EfiRuntimeServicesData;
    if (record == Record::Oversized) {
      auto *table = static_cast<TagStoreEntry *>(platform().Memory().AllocateFirmware(2 * sizeof(TagStoreEntry)));
      table[0] = TagStoreEntry{TAG_MFG0, 0, 0, 512, nullptr, 0x100};
      table[1] = TagStoreEntry{TAG_STORE_TERMINATOR, 0, 0, 0xFFFFFFFF, nullptr, 0x1500};
      platform().Core().InstallProtocol(gTagStoreTableProtocolGuid, table);
    }
    LoadDriver();
    platform().Memory().Faults().failType.reset();
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    EFI_STATUS status = 0;
    EXPECT_TRUE(Run(setup, &status)) << static_cast<int>(record);
    EXPECT_EQ(Variable(u"PchSetup", gPchSetupVariableGuid)[23], 1) << static_cast<int>(record);
  }
}

TEST_F(SetupPolicy, ThePolicyConvergesAcrossARealReboot) {
  configtest::Manufacturing records;
  records.mfg0Flag = 1;
  auto profile = ConfigProfile(records);
  PutVariable(profile, u"PchSetup", gPchSetupVariableGuid, PchSetup(1));
  Boot(profile);

  // First boot: the setup component publishes its record; the notification updates
  // "PchSetup" and resets from inside the notification.
  EXPECT_THROW(sim::SetupComponent::Publish(platform()), sim::PlatformReset);
  EXPECT_EQ(Variable(u"PchSetup", gPchSetupVariableGuid)[23], 0);

  platform().Reboot();
  LoadDriver();
  sim::SetupComponent::Publish(platform());
  EXPECT_EQ(simtest::CountEffects(platform(), sim::EffectKind::Reset), 1u) << "no second reset";
  // The successful run closed the notification's event: another instance of the
  // protocol no longer reaches the operation, even with byte 23 wrong again.
  platform().Variables().Put(sim::Variable{u"PchSetup", gPchSetupVariableGuid, 0x7, PchSetup(1)});
  EXPECT_NO_THROW(sim::SetupComponent::Publish(platform()));
  EXPECT_EQ(Variable(u"PchSetup", gPchSetupVariableGuid)[23], 1);
  EXPECT_EQ(platform().BootNumber(), 2u);
}

}  // namespace
