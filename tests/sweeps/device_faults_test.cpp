// The fault switches of the device models: each does what the sweeps rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform_sim/firmware/flash_access.h"
#include "runtime/uefi/flash_protocols.h"
#include "runtime/uefi/smm_communication.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/support/sim_helpers.h"
#include "tests/tagstore/tag_store_fixture.h"

namespace {

TEST(FlashAccessModel, ReadFlashAnswersAnyStatusErrorsWithoutTheBytes) {
  struct Case {
    EFI_STATUS status;
    bool filled;
  };
  for (const Case &c : {Case{EFI_ACCESS_DENIED, false}, Case{EFI_NOT_READY, false},
                        Case{EFI_WARN_BUFFER_TOO_SMALL, true}, Case{EFI_SUCCESS, true}}) {
    SCOPED_TRACE(c.status);
    sim::PlatformProfile profile = tagtest::FlashPlatform(tagtest::Flash::SpiBoot);
    profile.flashAccessStatus = c.status;
    sim::Platform platform(profile);
    auto *access = simtest::Locate<FLASH_ACCESS_PROTOCOL>(platform, gFlashAccessProtocolGuid);
    ASSERT_NE(access, nullptr);
    std::vector<uint8_t> buffer(16, 0x11);
    EXPECT_EQ(access->ReadFlash(access, buffer.data(), tagtest::kBase + 0x100, buffer.size()), c.status);
    EXPECT_EQ(buffer == platform.Flash().Peek(tagtest::kBase + 0x100, 16), c.filled);
  }
}

TEST(EmbeddedControllerModel, BusyAtStartKeepsTheInputFullThenTakesBytes) {
  sim::PlatformProfile profile;
  profile.ecResponsiveness.busyAtStartUs = 1000;
  sim::Platform platform(profile);
  sim::EmbeddedController &ec = platform.Ec();
  EXPECT_EQ(ec.IoRead(0x25D, 1) & 0x02, 0x02u) << "busy with its own start-up";
  ec.IoWrite(0x25D, 1, 0x81);
  EXPECT_EQ(ec.LostBytes(), std::vector<uint8_t>{0x81}) << "a byte written while busy is lost";
  platform.Processor().AdvanceNs(1000 * 1000);
  EXPECT_EQ(ec.IoRead(0x25D, 1) & 0x02, 0x00u);
  ec.IoWrite(0x25D, 1, 0x81);
  platform.Processor().AdvanceNs(100 * 1000);
  ec.IoRead(0x25D, 1);
  EXPECT_EQ(ec.Wire(), std::vector<uint8_t>{0x81});
}

TEST(EmbeddedControllerModel, DeadAfterNBytesTakesExactlyThose) {
  sim::PlatformProfile profile;
  profile.ecResponsiveness.deadAfterBytes = 2;
  sim::Platform platform(profile);
  sim::EmbeddedController &ec = platform.Ec();
  for (uint8_t value : {0x81, 0x07, 0xFE}) {
    ec.IoWrite(value == 0x81 ? 0x25D : 0x25C, 1, value);
    platform.Processor().AdvanceNs(100 * 1000);
    ec.IoRead(0x25D, 1);
  }
  EXPECT_EQ(ec.Wire(), (std::vector<uint8_t>{0x81, 0x07}));
  EXPECT_EQ(ec.IoRead(0x25D, 1) & 0x02, 0x02u) << "the third byte stays in the input buffer";
}

// A cut half-way through a command leaves half of its work done.
TEST(FlashModels, PowerCutInsideAnEraseOrAProgramLeavesHalfOfIt) {
  struct Case {
    tagtest::Flash flash;
    bool erase;
    uint64_t length;  // bytes of the unit
  };
  for (const Case &c : {Case{tagtest::Flash::SpiBoot, true, 0x1000}, Case{tagtest::Flash::SpiBoot, false, 256},
                        Case{tagtest::Flash::Parallel, true, 0x1000}}) {
    SCOPED_TRACE(std::string(tagtest::FlashName(c.flash)) + (c.erase ? " erase" : " program"));
    sim::Platform platform(tagtest::FlashPlatform(c.flash));
    const uint64_t address = tagtest::kBase + 0x4000;
    platform.Flash().Load(address, std::vector<uint8_t>(0x1000, 0x00));
    if (!c.erase) platform.Flash().Load(address, std::vector<uint8_t>(0x1000, 0xFF));
    TAG_STORE_PROBE *probe = tagtest::LoadProbe(platform);
    platform.Flash().Faults().powerCutDuring =
        platform.Flash().Monitor().Erases() + platform.Flash().Monitor().Programs() + 1;
    std::vector<uint8_t> data(c.length, 0x3C);
    UINTN length = data.size();
    bool cut = false;
    try {
      if (c.erase) {
        simtest::Call(probe->EraseRange, address, c.length);
      } else {
        simtest::Call(probe->WriteRange, address, data.data(), &length);
      }
    } catch (const sim::PlatformReset &reset) {
      cut = reset.powerCut;
    }
    ASSERT_TRUE(cut);
    platform.Reboot();
    auto cells = platform.Flash().Peek(address, c.length);
    uint8_t done = c.erase ? 0xFF : 0x3C;
    uint8_t untouched = c.erase ? 0x00 : 0xFF;
    EXPECT_EQ(std::vector<uint8_t>(cells.begin(), cells.begin() + c.length / 2),
              std::vector<uint8_t>(c.length / 2, done));
    EXPECT_EQ(std::vector<uint8_t>(cells.begin() + c.length / 2, cells.end()),
              std::vector<uint8_t>(c.length / 2, untouched));
  }
}

TEST(FlashModels, AnEraseThatIsNotBlockAlignedErasesEveryBlockItTouches) {
  sim::Platform platform(tagtest::FlashPlatform(tagtest::Flash::SpiBoot));
  sim::SpiController &spi = *platform.Flash().Spi();
  spi.Load(0x0, std::vector<uint8_t>(0x3000, 0x00));
  EXPECT_EQ(spi.Erase(0x800, 0x1000), EFI_SUCCESS);
  EXPECT_EQ(spi.Peek(0x0), 0xFF);
  EXPECT_EQ(spi.Peek(0x1FFF), 0xFF);
  EXPECT_EQ(spi.Peek(0x2000), 0x00);
  EXPECT_EQ(spi.Erase(0x2FFF, 1), EFI_SUCCESS);
  EXPECT_EQ(spi.Peek(0x2000), 0xFF) << "the sector holding the address";
  EXPECT_EQ(spi.Erase(spi.Size() - 0x1000, 0x2000), EFI_INVALID_PARAMETER) << "past the end";
}

TEST(FlashModels, NamedSpiPartKeepsItsDatasheetTimesAndWorstCaseOnRequest) {
  for (bool worst : {false, true}) {
    sim::PlatformProfile profile = tagtest::FlashPlatform(tagtest::Flash::SpiBoot);
    profile.flash.faults.worstCaseTimes = worst;
    sim::Platform platform(profile);
    uint64_t start = platform.Processor().NowPs();
    ASSERT_EQ(platform.Flash().Spi()->Erase(0x0, 0x1000), EFI_SUCCESS);
    uint64_t eraseUs = (platform.Processor().NowPs() - start) / 1000000;
    uint8_t page[256] = {};
    start = platform.Processor().NowPs();
    ASSERT_EQ(platform.Flash().Spi()->Write(0x0, page, sizeof(page)), EFI_SUCCESS);
    uint64_t programUs = (platform.Processor().NowPs() - start) / 1000000;
    // W25Q128JV: sector erase 45 ms typical, 400 ms at most; page program 0.4 ms, 3 ms.
    EXPECT_EQ(eraseUs, worst ? 400000u : 45000u);
    EXPECT_EQ(programUs, worst ? 3000u : 400u);
  }
}

TEST(SpiControllerModel, ABarOfAllOnesDecodesNoRegisters) {
  sim::PlatformProfile profile = tagtest::FlashPlatform(tagtest::Flash::SpiBoot);
  profile.flash.spiBarAllOnes = true;
  sim::Platform platform(profile);
  EXPECT_EQ(platform.Bus().MmioRead(0xE00FD010, 4), 0xFFFFFFFFu);
  EXPECT_EQ(platform.Bus().MmioRead(0xFE0100B8, 4), 0xFFFFFFFFu) << "nothing answers at the usual block";
}

}  // namespace

namespace {

TEST(SmmModels, FailingCommunicationAnswersItsStatusAndNeverReachesTheLockBoxes) {
  sim::Platform platform;
  platform.Core().Communication().FailWith(EFI_DEVICE_ERROR);
  auto *communication = simtest::Locate<EFI_SMM_COMMUNICATION_PROTOCOL>(platform, gEfiSmmCommunicationProtocolGuid);
  ASSERT_NE(communication, nullptr);
  std::vector<uint8_t> request(128, 0);
  std::memcpy(request.data(), &gLockBoxCommunicationGuid, sizeof(EFI_GUID));
  UINT64 length = request.size() - 24;
  std::memcpy(request.data() + 16, &length, sizeof(length));
  std::vector<uint8_t> sent = request;
  UINTN size = request.size();
  EXPECT_EQ(simtest::Call(communication->Communicate, communication, request.data(), &size), EFI_DEVICE_ERROR);
  EXPECT_EQ(request, sent) << "no handler answered in the buffer";
  ASSERT_EQ(platform.Core().Communication().Requests().size(), 1u);
  EXPECT_EQ(platform.Core().Communication().Requests()[0].status, EFI_DEVICE_ERROR);
}

TEST(SmmModels, ALostSmiRunsNoHandlerAndTheSleepRequestStaysPending) {
  sim::PlatformProfile profile;
  profile.smmBase = true;
  sim::Platform platform(profile);
  platform.Core().Smm().SetSmiLost(true);
  platform.EnterSleepState(3);
  EXPECT_EQ(platform.Core().Smm().SmiCount(), 0u);
  EXPECT_NE(platform.Pmc().SleepState(), 3) << "no handler let the transition complete";
}

}  // namespace
