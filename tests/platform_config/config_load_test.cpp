// LoadPlatformConfig: manufacturing flags, CMOS options, "LDFG", password provisioning
// and the final "Setup" check.
#include <algorithm>

#include "platform_config/setup_records.h"
#include "tagstore/tag_store.h"
#include "tests/images/probe.h"
#include "tests/platform_config/config_fixture.h"

namespace {

using configtest::ConfigDriver;
using configtest::ConfigProfile;
using configtest::PasswordBlock;
using configtest::PutVariable;

std::vector<uint8_t> Units(std::initializer_list<uint16_t> units) {
  std::vector<uint8_t> bytes;
  for (uint16_t unit : units) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

class ConfigLoad : public ConfigDriver {
 protected:
  EFI_STATUS Run(std::vector<uint8_t> &setup) {
    return platform().Call(config_->LoadPlatformConfig, config_, setup.data());
  }
  sim::PlatformProfile WithSetup(sim::PlatformProfile profile, size_t setupSize = SETUP_CONFIG_SIZE) {
    PutVariable(profile, u"Setup", gSetupVariableGuid, std::vector<uint8_t>(setupSize, 0));
    return profile;
  }
};

TEST_F(ConfigLoad, ManufacturingFlagsFromMfg0ThenCnf1) {
  struct Case {
    uint8_t mfg0Flag, cnf1First, byte111, byte100;
  };
  for (const Case &c :
       {Case{1, 0x00, 1, 0}, Case{1, 0xFF, 1, 0}, Case{0, 0xFF, 0, 2}, Case{0, 0x00, 1, 2}, Case{2, 0x00, 1, 2}}) {
    SCOPED_TRACE(::testing::Message() << "mfg0 flag " << int(c.mfg0Flag) << ", cnf1 first " << int(c.cnf1First));
    configtest::Manufacturing records;
    records.mfg0Flag = c.mfg0Flag;
    records.cnf1First = c.cnf1First;
    Boot(WithSetup(ConfigProfile(records)));
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0x77);
    EXPECT_EQ(Run(setup), EFI_SUCCESS);
    EXPECT_EQ(setup[111], c.byte111) << int(c.mfg0Flag) << "/" << int(c.cnf1First);
    EXPECT_EQ(setup[100], c.byte100) << int(c.mfg0Flag) << "/" << int(c.cnf1First);
  }
}

TEST_F(ConfigLoad, CmosOptionsFollowTheCallersRecord) {
  auto profile = WithSetup(ConfigProfile());
  profile.cmosBank2[0x47] = 0xF0;
  Boot(profile);
  std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
  setup[230] = 1;
  setup[235] = 0;
  EXPECT_EQ(Run(setup), EFI_SUCCESS);
  EXPECT_EQ(platform().Cmos2().Get(0x47), 0xF2);
}

TEST_F(ConfigLoad, LoadFlagLetsTheFlushedCnf1ByteDecideByte121) {
  struct Case {
    std::optional<uint8_t> loadFlag;
    uint8_t flashByte;
    uint8_t byte121;
  };
  for (const Case &c : {Case{std::nullopt, 0xFF, 0x77}, Case{0x7A, 0xFF, 2}, Case{0x7A, 0x00, 0}, Case{0x7A, 0x12, 0},
                        Case{0x99, 0xFF, 0x77}}) {
    SCOPED_TRACE(::testing::Message() << "load flag " << (c.loadFlag ? int(*c.loadFlag) : -1) << ", flash byte "
                                      << int(c.flashByte));
    configtest::Manufacturing records;
    records.cnf1Byte70 = c.flashByte;
    auto profile = WithSetup(ConfigProfile(records));
    if (c.loadFlag) PutVariable(profile, u"LDFG", gLoadFlagVariableGuid, {*c.loadFlag});
    Boot(profile);
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0x77);
    EXPECT_EQ(Run(setup), EFI_SUCCESS);
    EXPECT_EQ(setup[121], c.byte121);
    auto flag = Variable(u"LDFG", gLoadFlagVariableGuid);
    EXPECT_EQ(flag, std::vector<uint8_t>{c.loadFlag.value_or(0x99)}) << "created with 0x99 when absent";
  }
}

TEST_F(ConfigLoad, PasswordsAreWidenedIntoExactlySixteenBytes) {
  struct Case {
    const char *what;
    std::string master;
    std::vector<uint8_t> user;
    std::vector<uint8_t> masterUnits;
    std::vector<uint8_t> userUnits;
  };
  std::vector<Case> cases = {
      {"short", "abc", {'x', 'y'}, Units({'a', 'b', 'c', 0, 0, 0, 0, 0}), Units({'x', 'y', 0, 0, 0, 0, 0, 0})},
      {"exactly eight",
       "abcdefgh",
       {'1', '2', '3', '4', '5', '6', '7', '8'},
       Units({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}),
       Units({'1', '2', '3', '4', '5', '6', '7', '8'})},
      {"longer, user field without NUL", "abcdefghijklmnop", std::vector<uint8_t>(15, 'u'),
       Units({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}), Units({'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u'})},
      {"high bit",
       "\x80\xFF"
       "a",
       {0xC3, 0xA9},
       Units({0xFF80, 0xFFFF, 'a', 0, 0, 0, 0, 0}),
       Units({0xFFC3, 0xFFA9, 0, 0, 0, 0, 0, 0})},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    auto profile = WithSetup(ConfigProfile());
    profile.flash.contents.push_back({configtest::kPasswordBlock, PasswordBlock(c.master, c.user)});
    Boot(profile);
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    EXPECT_EQ(Run(setup), EFI_SUCCESS) << c.what;
    EXPECT_EQ(Variable(u"QzMasterPwd", gMasterPasswordVariableGuid), c.masterUnits) << c.what;
    EXPECT_EQ(Variable(u"QzUserPwd", gUserPasswordVariableGuid), c.userUnits) << c.what;
    EXPECT_EQ(platform().Variables().Find(u"QzUserPwd", gUserPasswordVariableGuid)->attributes, 0x7u);
  }
}

TEST_F(ConfigLoad, NoPasswordIsWrittenWithoutAValidBlockAndTheOperationGoesOn) {
  struct Case {
    const char *what;
    std::vector<uint8_t> block;
    bool flashAccessProtocol;
    bool readFails;
  };
  std::vector<Case> cases = {
      {"erased block", std::vector<uint8_t>(64, 0xFF), true, false},
      {"wrong signature", PasswordBlock("abc", {'x'}, 1, "_QZNW_"), true, false},
      {"not provisioned", PasswordBlock("abc", {'x'}, 0), true, false},
      {"no flash access protocol", PasswordBlock("abc", {'x'}), false, false},
      {"flash read fails", PasswordBlock("abc", {'x'}), true, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    auto profile = WithSetup(ConfigProfile());
    profile.flash.contents.push_back({configtest::kPasswordBlock, c.block});
    profile.flashAccessProtocol = c.flashAccessProtocol;
    profile.flashAccessFails = c.readFails;
    PutVariable(profile, u"QzUserPwd", gUserPasswordVariableGuid, std::vector<uint8_t>(16, 0x41));
    Boot(profile);
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    EXPECT_EQ(Run(setup), EFI_SUCCESS) << c.what;
    EXPECT_FALSE(Exists(u"QzMasterPwd", gMasterPasswordVariableGuid)) << c.what;
    EXPECT_EQ(Variable(u"QzUserPwd", gUserPasswordVariableGuid), std::vector<uint8_t>(16, 0x41)) << c.what;
    EXPECT_EQ(setup[100], 2) << c.what << ": the earlier steps still ran";
  }
}

TEST_F(ConfigLoad, SetupThatCannotBeReadIsReportedAfterEveryEarlierStep) {
  struct Case {
    std::optional<size_t> setupSize;
    EFI_STATUS status;
  };
  for (const Case &c : {Case{SETUP_CONFIG_SIZE + 1, EFI_BUFFER_TOO_SMALL}, Case{std::nullopt, EFI_NOT_FOUND},
                        Case{SETUP_CONFIG_SIZE - 100, EFI_SUCCESS}}) {
    SCOPED_TRACE(::testing::Message() << "Setup size " << (c.setupSize ? std::to_string(*c.setupSize) : "absent"));
    auto profile = ConfigProfile();
    if (c.setupSize) profile = WithSetup(profile, *c.setupSize);
    profile.flash.contents.push_back({configtest::kPasswordBlock, PasswordBlock("pw", {'u'})});
    profile.cmosBank2[0x47] = 0x00;
    Boot(profile);
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    EXPECT_EQ(Run(setup), c.status);
    EXPECT_EQ(setup[100], 2);
    EXPECT_EQ(platform().Cmos2().Get(0x47), 0x03);
    EXPECT_TRUE(Exists(u"LDFG", gLoadFlagVariableGuid));
    EXPECT_TRUE(Exists(u"QzMasterPwd", gMasterPasswordVariableGuid));
  }
}

TEST_F(ConfigLoad, EveryBufferIsFreedAndAMissingScratchRecordChangesNothing) {
  auto profile = WithSetup(ConfigProfile());
  profile.flash.contents.push_back({configtest::kPasswordBlock, PasswordBlock("pw", {'u'})});
  Boot(profile);
  size_t before = platform().Memory().DriverAllocations().size();
  std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0x77);
  EXPECT_EQ(Run(setup), EFI_SUCCESS);
  EXPECT_EQ(platform().Memory().DriverAllocations().size(), before);

  Boot(profile);
  platform().Memory().Faults().failNth = platform().Memory().DriverAllocationCount() + 1;
  std::vector<uint8_t> untouched(SETUP_CONFIG_SIZE, 0x77);
  EXPECT_EQ(Run(untouched), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(untouched, std::vector<uint8_t>(SETUP_CONFIG_SIZE, 0x77));
  EXPECT_FALSE(Exists(u"LDFG", gLoadFlagVariableGuid));
  EXPECT_FALSE(Exists(u"QzMasterPwd", gMasterPasswordVariableGuid));
  EXPECT_EQ(platform().Call(config_->LoadPlatformConfig, config_, nullptr), EFI_INVALID_PARAMETER);
}

// Boot services' own FreePool, and a wrapper that looks at each block the driver gives
// back while it is still live.
EFI_FREE_POOL gRealFreePool = nullptr;
struct FreedBlock {
  uint64_t size;
  std::vector<uint8_t> bytes;
};
std::vector<FreedBlock> gFreed;
EFI_STATUS EFIAPI WatchFreePool(VOID *buffer) {
  const sim::Allocation *block = sim::Platform::Current().Memory().Find(reinterpret_cast<uint64_t>(buffer));
  if (block != nullptr) {
    const auto *bytes = static_cast<const uint8_t *>(buffer);
    gFreed.push_back({block->size, std::vector<uint8_t>(bytes, bytes + block->size)});
  }
  return gRealFreePool(buffer);
}

bool Holds(const std::vector<uint8_t> &haystack, const std::vector<uint8_t> &needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

TEST_F(ConfigLoad, PasswordBlockAndPasswordCopiesAreWipedBeforeTheyAreFreed) {
  struct Case {
    const char *what;
    std::vector<uint8_t> block;
    size_t secretBlocks;  // the 64-byte block and the 16-byte copies given back
  };
  const std::string master = "M4st3rPw";
  const std::vector<uint8_t> user = {'U', 's', '3', 'r', 'P', 'w'};
  std::vector<Case> cases = {
      {"provisioned", PasswordBlock(master, user), 3},
      {"not provisioned: the block still held the passwords", PasswordBlock(master, user, 0), 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    auto profile = WithSetup(ConfigProfile());
    profile.flash.contents.push_back({configtest::kPasswordBlock, c.block});
    Boot(profile);
    EFI_BOOT_SERVICES *services = platform().SystemTable()->BootServices;
    gRealFreePool = services->FreePool;
    services->FreePool = WatchFreePool;
    gFreed.clear();
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    EFI_STATUS status = Run(setup);
    services->FreePool = gRealFreePool;
    EXPECT_EQ(status, EFI_SUCCESS);

    size_t secretBlocks = 0;
    for (const FreedBlock &freed : gFreed) {
      if (freed.size != 64 && freed.size != 16) continue;
      ++secretBlocks;
      EXPECT_EQ(freed.bytes, std::vector<uint8_t>(freed.size, 0)) << "a " << freed.size << "-byte block";
    }
    EXPECT_EQ(secretBlocks, c.secretBlocks);
    for (const FreedBlock &freed : gFreed) {
      EXPECT_FALSE(Holds(freed.bytes, std::vector<uint8_t>(master.begin(), master.end())));
      EXPECT_FALSE(Holds(freed.bytes, Units({'M', '4', 's', 't'})));
      EXPECT_FALSE(Holds(freed.bytes, Units({'U', 's', '3', 'r'})));
    }
  }
}

// The shared table may describe a manufacturing record as shorter than the driver's
// 256-byte buffer (another image created it). Only the record's bytes are copied; the
// rest must read as erased flash, not as whatever the buffer held before.
TEST(ManufacturingRecord, ARecordShorterThanTheBufferLeavesTheRestErased) {
  configtest::Manufacturing records;
  records.mfg0Flag = 1;
  sim::Platform platform(configtest::ConfigProfile(records));
  ASSERT_EQ(platform.Load("PlatformConfigProbe").entryStatus, EFI_SUCCESS);
  auto *probe = simtest::Locate<PLATFORM_CONFIG_PROBE>(platform, gProbeProtocolGuid);
  auto *table = simtest::Locate<TagStoreEntry>(platform, gTagStoreTableProtocolGuid);
  ASSERT_NE(probe, nullptr);
  ASSERT_NE(table, nullptr);
  uint32_t tag = table[1].Tag;  // packed: no reference to the field
  ASSERT_EQ(tag, TAG_MFG0);

  struct Case {
    uint64_t recordSize;
    size_t copied;  // bytes that come from the record
  };
  for (const Case &c : {Case{256, 256}, Case{16, 16}, Case{0, 0}, Case{257, 0}}) {
    SCOPED_TRACE("record size " + std::to_string(c.recordSize));
    table[1].Size = c.recordSize;
    std::vector<uint8_t> buffer(256, 0x01);  // stale bytes: the flag value
    simtest::Call(probe->ReadManufacturingRecord, TAG_MFG0, buffer.data());
    std::vector<uint8_t> expected(256, 0xFF);
    auto flash = platform.Flash().Peek(configtest::kMfg0, c.copied);
    std::copy(flash.begin(), flash.end(), expected.begin());
    EXPECT_EQ(buffer, expected);
  }
}

}  // namespace
