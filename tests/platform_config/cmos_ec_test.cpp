// PlatformConfigDxe's CMOS and embedded-controller access, through its operations and
// (for the internal routines) through its probe image.
#include <gtest/gtest.h>

#include "platform_config/config_protocol.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"
#include "tests/support/sim_helpers.h"

namespace {

const std::vector<uint8_t> kWriteRam = {0x81, 0x07, 0xFE, 0x80};
const std::vector<uint8_t> kExtended = {0x9A, 0x00, 0x08, 0x16, 0x00, 0x00, 0x10, 0x00};

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> result;
  for (const auto &part : parts) result.insert(result.end(), part.begin(), part.end());
  return result;
}

class PlatformConfigHardware : public ::testing::Test {
 protected:
  void Boot(sim::PlatformProfile profile = sim::PlatformProfile{}) {
    platform_.reset();
    platform_ = std::make_unique<sim::Platform>(std::move(profile));
    ASSERT_EQ(platform_->Load("PlatformConfigProbe").entryStatus, EFI_SUCCESS);
    config_ = simtest::Locate<PLATFORM_CONFIG_PROTOCOL>(*platform_, gPlatformConfigProtocolGuid);
    probe_ = simtest::Locate<PLATFORM_CONFIG_PROBE>(*platform_, gProbeProtocolGuid);
    ASSERT_NE(config_, nullptr);
    ASSERT_NE(probe_, nullptr);
  }
  sim::Platform &platform() { return *platform_; }

  std::unique_ptr<sim::Platform> platform_;
  PLATFORM_CONFIG_PROTOCOL *config_ = nullptr;
  PLATFORM_CONFIG_PROBE *probe_ = nullptr;
};

TEST_F(PlatformConfigHardware, GetCmosOverrideReportsOnlyTheMarkerValue) {
  Boot();
  struct Case {
    uint8_t marker;
    EFI_STATUS status;
    uint8_t output;
  };
  for (Case c : {Case{0xAA, EFI_SUCCESS, 0x00}, Case{0x00, EFI_UNSUPPORTED, 0x5C}, Case{0xAB, EFI_UNSUPPORTED, 0x5C},
                 Case{0xFF, EFI_UNSUPPORTED, 0x5C}}) {
    platform().Cmos2().Set(0x50, c.marker);
    UINT8 value = 0x5C;
    EXPECT_EQ(platform().Call(config_->GetCmosOverride, config_, &value), c.status) << int(c.marker);
    EXPECT_EQ(value, c.output) << int(c.marker);
  }
  platform().Cmos2().Set(0x50, 0xAA);
  EXPECT_EQ(platform().Call(config_->GetCmosOverride, config_, nullptr), EFI_INVALID_PARAMETER);
}

TEST_F(PlatformConfigHardware, ProgramCmosOptionsSetsBitsZeroAndOneFromTheSetupBytes) {
  Boot();
  struct Case {
    uint8_t byte230, byte235, before, after;
  };
  for (Case c : {Case{1, 0, 0xFF, 0xFE}, Case{1, 1, 0xFF, 0xFC}, Case{0, 0, 0x00, 0x03}, Case{2, 2, 0x00, 0x03},
                 Case{0, 1, 0xA4, 0xA5}}) {
    std::vector<uint8_t> setup(SETUP_CONFIG_SIZE, 0);
    setup[230] = c.byte230;
    setup[235] = c.byte235;
    platform().Cmos2().Set(0x47, c.before);
    platform().Call(probe_->ProgramCmosOptions, setup.data());
    EXPECT_EQ(platform().Cmos2().Get(0x47), c.after) << int(c.byte230) << "/" << int(c.byte235);
  }
}

TEST_F(PlatformConfigHardware, CmosReadGuardedRestoresTheCallersInterruptState) {
  Boot();
  platform().Cmos2().Set(0x58, 0xCC);
  for (bool enabled : {true, false}) {
    platform().Processor().SetInterrupts(enabled);
    uint64_t changesBefore = platform().Processor().InterruptFlagChanges();
    EXPECT_EQ(platform().Call(probe_->CmosReadGuarded, 0x72, 0x73, 0x58), 0xCC);
    EXPECT_EQ(platform().Processor().InterruptsEnabled(), enabled);
    // Disabled around the access; re-enabled only when they were on.
    EXPECT_EQ(platform().Processor().InterruptFlagChanges() - changesBefore, enabled ? 2u : 1u);
  }
}

TEST_F(PlatformConfigHardware, SignalEmbeddedControllerSendsTheFixedSequenceEvenAfterARefusal) {
  sim::PlatformProfile profile;
  profile.ecAnswers = {0x00, 0x80};
  Boot(profile);
  EXPECT_EQ(platform().Call(config_->SignalEmbeddedController, config_), EFI_SUCCESS);
  EXPECT_EQ(platform().Ec().Wire(), Concat({kWriteRam, kExtended, kExtended}));
  EXPECT_TRUE(platform().Ec().LostBytes().empty());
  EXPECT_EQ(platform().Ec().Ram(0x07FE), 0x80) << "address high byte first";
  ASSERT_EQ(platform().Ec().Transactions().size(), 3u);
  EXPECT_EQ(platform().Ec().Transactions()[0].data, (std::vector<uint8_t>{0x07, 0xFE, 0x80}));
}

TEST_F(PlatformConfigHardware, CommandWithAckAcceptsOnlyTheAcknowledgeByte) {
  sim::PlatformProfile profile;
  profile.ecAnswers = {0x80, 0x00, 0x81};
  Boot(profile);
  EXPECT_EQ(platform().Call(probe_->EcCommandWithAck, 0x16, 0x00, 0x0010), EFI_SUCCESS);
  EXPECT_EQ(platform().Call(probe_->EcCommandWithAck, 0x16, 0x00, 0x0010), EFI_DEVICE_ERROR);
  EXPECT_EQ(platform().Call(probe_->EcCommandWithAck, 0x01, 0x02, 0xBEEF), EFI_DEVICE_ERROR);
  EXPECT_EQ(platform().Ec().Transactions()[2].data, (std::vector<uint8_t>{0x00, 0x08, 0x01, 0x02, 0x00, 0xEF, 0xBE}));
}

TEST_F(PlatformConfigHardware, AControllerThatStopsRespondingEndsTheSequenceWithATimeout) {
  struct Case {
    sim::EcResponsiveness mode;
    std::vector<uint8_t> wire;
  };
  for (const Case &c :
       {Case{sim::EcResponsiveness::Dead, {}}, Case{sim::EcResponsiveness::Mute, Concat({kWriteRam, kExtended})}}) {
    SCOPED_TRACE(c.mode == sim::EcResponsiveness::Dead ? "dead controller" : "mute controller");
    sim::PlatformProfile profile;
    profile.ecResponsiveness = c.mode;
    Boot(profile);
    uint64_t start = platform().Processor().NowPs();
    EXPECT_EQ(platform().Call(config_->SignalEmbeddedController, config_), EFI_TIMEOUT);
    // Dead: the command byte sits in the input buffer and is never taken.
    EXPECT_EQ(platform().Ec().Wire(), c.wire);
    EXPECT_TRUE(platform().Ec().LostBytes().empty()) << "nothing written while the buffer was full";
    EXPECT_LT(platform().Processor().NowPs() - start, 1000000000000ull) << "gave up within a second";
    platform_.reset();
  }
}

TEST_F(PlatformConfigHardware, ReservedOperationTouchesNoHardware) {
  Boot();
  platform().Bus().SetLogging(true);
  EXPECT_EQ(platform().Call(config_->ReservedOperation, config_, 0x123456789ull, 0x7F), EFI_UNSUPPORTED);
  EXPECT_TRUE(platform().Bus().Log().empty());
}

TEST_F(PlatformConfigHardware, MicrosecondDelayWaitsAtLeastItsTimeAndOneTickWithoutAFrequency) {
  Boot();
  uint64_t start = platform().Processor().NowPs();
  platform().Call(probe_->MicroSecondDelay, 100);
  EXPECT_GE(platform().Processor().NowPs() - start, 100000000ull);

  sim::PlatformProfile profile;
  profile.tscFrequencyTable = 0;
  Boot(profile);
  uint64_t tscBefore = platform().Processor().ReadTsc();
  platform().Call(probe_->MicroSecondDelay, 1);
  EXPECT_GT(platform().Processor().ReadTsc(), tscBefore + 1);
}

}  // namespace
