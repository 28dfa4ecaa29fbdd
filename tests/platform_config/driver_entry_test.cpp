// PlatformConfigDxe's entry, its protocol and its two notifications.
#include <gtest/gtest.h>

#include "platform_config/config_protocol.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/case_names.h"

namespace {

using simtest::CountEffects;

constexpr char kDriver[] = "PlatformConfigDxe";

const sim::Variable *AdministerSecureBoot(sim::Platform &platform) {
  return platform.Variables().Find(u"AdministerSecureBoot", gAdministerSecureBootVariableGuid);
}

sim::PlatformProfile Profile(bool variableWriteAtBoot) {
  sim::PlatformProfile profile;
  profile.variableWriteAtBoot = variableWriteAtBoot;
  return profile;
}

// The open notification events of the driver entry (not those of the library
// initialisers), by how often each has run.
std::vector<const sim::EventRecord *> DriverEvents(sim::Platform &platform) {
  std::vector<const sim::EventRecord *> result;
  for (const sim::EventRecord *event : platform.Core().Events().Open()) {
    auto protocol = platform.Core().Protocols().NotifyProtocolOf(event->id);
    bool entryNotification = protocol && (sim::SameGuid(*protocol, gSetupDataProtocolGuid) ||
                                          sim::SameGuid(*protocol, gEfiVariableWriteArchProtocolGuid));
    if (event->owner == kDriver && entryNotification) result.push_back(event);
  }
  return result;
}

TEST(PlatformConfigEntry, InstallsTheFiveSlotInterfaceOnItsOwnImageHandle) {
  sim::Platform platform(Profile(true));
  auto &image = platform.Load(kDriver);
  ASSERT_EQ(image.entryStatus, EFI_SUCCESS);
  void *interface = nullptr;
  ASSERT_EQ(platform.Core().Protocols().Handle(image.handle, gPlatformConfigProtocolGuid, &interface), EFI_SUCCESS);
  auto *config = static_cast<PLATFORM_CONFIG_PROTOCOL *>(interface);
  EXPECT_NE(config->UpdateSetupPolicy, nullptr);
  EXPECT_NE(config->LoadPlatformConfig, nullptr);
  EXPECT_NE(config->GetCmosOverride, nullptr);
  EXPECT_NE(config->SignalEmbeddedController, nullptr);
  EXPECT_NE(config->ReservedOperation, nullptr);
  EXPECT_EQ(config->Reserved, 0u);
  const sim::Allocation *block = platform.Memory().Find(reinterpret_cast<uint64_t>(interface));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->type, EfiBootServicesData);
  EXPECT_EQ(block->size, 48u);
}

TEST(PlatformConfigEntry, VariableWriteAlreadyThereWritesAdministerSecureBootDuringTheEntryAndClosesOnce) {
  sim::Platform platform(Profile(true));
  platform.Load(kDriver);
  const sim::Variable *variable = AdministerSecureBoot(platform);
  ASSERT_NE(variable, nullptr);
  EXPECT_EQ(variable->attributes, 0x7u);
  EXPECT_EQ(variable->data, std::vector<uint8_t>{0x01});

  // Written before the entry returned, by the immediate run of the notification.
  const auto &effects = platform.Trace().All();
  auto write = std::find_if(effects.begin(), effects.end(),
                            [](const sim::Effect &e) { return e.kind == sim::EffectKind::VariableWrite; });
  auto entry = std::find_if(effects.begin(), effects.end(),
                            [](const sim::Effect &e) { return e.kind == sim::EffectKind::ImageEntryReturn; });
  EXPECT_LT(write - effects.begin(), entry - effects.begin());
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::EventClosed, kDriver), 1u);

  // A later instance of the protocol does not write again: the event is gone.
  platform.Variables().Set(u"AdministerSecureBoot", &gAdministerSecureBootVariableGuid, 0x7, 0, nullptr);
  platform.Core().InstallVariableWriteArch();
  EXPECT_EQ(AdministerSecureBoot(platform), nullptr);
}

TEST(PlatformConfigEntry, VariableWriteArrivingLaterIsServedByTheNotificationOnce) {
  sim::Platform platform(Profile(false));
  platform.Load(kDriver);
  EXPECT_EQ(AdministerSecureBoot(platform), nullptr);
  EXPECT_EQ(DriverEvents(platform).size(), 2u) << "both notifications wait";

  platform.Core().InstallVariableWriteArch();
  ASSERT_NE(AdministerSecureBoot(platform), nullptr);
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::VariableWrite, kDriver), 1u);
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::EventClosed, kDriver), 1u);
  EXPECT_EQ(DriverEvents(platform).size(), 1u);

  platform.Core().InstallVariableWriteArch();
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::VariableWrite, kDriver), 1u);
}

TEST(PlatformConfigEntry, AFailedVariableWriteStillClosesTheEventWithoutRetry) {
  sim::Platform platform(Profile(false));
  platform.Variables().FailWrites(u"AdministerSecureBoot", EFI_WRITE_PROTECTED);
  platform.Load(kDriver);
  platform.Core().InstallVariableWriteArch();
  EXPECT_EQ(AdministerSecureBoot(platform), nullptr);
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::EventClosed, kDriver), 1u);
}

TEST(PlatformConfigEntry, SetupDataNotifyLeavesItsEventOpenWhileTheUpdateFails) {
  sim::Platform platform(Profile(true));
  auto *setupData = platform.Memory().NewFirmware<SETUP_DATA_PROTOCOL>();
  setupData->SetupData = static_cast<UINT8 *>(platform.Memory().AllocateFirmware(SETUP_CONFIG_SIZE));
  platform.Load(kDriver);
  auto events = DriverEvents(platform);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]->notifications, 1u) << "the immediate run at registration";

  // Each installation runs the update; without "PchSetup" it fails, so the event stays open.
  platform.Core().InstallProtocol(gSetupDataProtocolGuid, setupData);
  platform.Core().InstallProtocol(gSetupDataProtocolGuid, setupData);
  events = DriverEvents(platform);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]->notifications, 3u);
  EXPECT_EQ(CountEffects(platform, sim::EffectKind::EventClosed, kDriver), 1u) << "only the variable-write event";
}

// A platform on which the interface is the driver entry's first allocation: the tables
// and shared state the library steps would allocate are already there.
sim::PlatformProfile InterfaceFirstProfile(bool variableWriteAtBoot) {
  sim::PlatformProfile profile = Profile(variableWriteAtBoot);
  profile.tscFrequencyTable = 2400000000ull;  // no TSC buffer
  return profile;
}

void PublishSharedState(sim::Platform &platform) {
  // Nor the tag store table: an earlier image published it.
  platform.Core().InstallProtocol(gTagStoreTableProtocolGuid, platform.Memory().AllocateFirmware(260));
  // Nor the shared S3 record and list head: earlier images published them.
  sim::PcdEntry *s3Record = platform.Pcds().Find(gS3BootScriptTokenSpaceGuid, 0x30000);
  ASSERT_NE(s3Record, nullptr);
  platform.Pcds().SetNumber(*s3Record, reinterpret_cast<uint64_t>(platform.Memory().AllocateFirmware(16)), 8);
  platform.Core().InstallProtocol(gSharedListHeadProtocolGuid, platform.Memory().AllocateFirmware(16));
}

// Boot services' own InstallProtocolInterface, and a wrapper that refuses ours.
EFI_INSTALL_PROTOCOL_INTERFACE gRealInstall = nullptr;
EFI_STATUS EFIAPI RefusePlatformConfig(EFI_HANDLE *handle, EFI_GUID *protocol, EFI_INTERFACE_TYPE type,
                                       VOID *interface) {
  if (protocol != nullptr && sim::SameGuid(*protocol, gPlatformConfigProtocolGuid)) return EFI_OUT_OF_RESOURCES;
  return gRealInstall(handle, protocol, type, interface);
}

enum class EntryFault { InterfacePool, Installation };

struct FailedEntryCase {
  EntryFault fault;
  bool variableWriteAtBoot;
};

std::string NameOf(const FailedEntryCase &c) {
  return std::string(c.fault == EntryFault::InterfacePool ? "NoPoolForTheInterface" : "InstallationRefused") +
         (c.variableWriteAtBoot ? "_VariableWriteAlreadyThere" : "_VariableWriteLater");
}
SIMTEST_PRINTS_CASE(FailedEntryCase)

class FailedEntry : public ::testing::TestWithParam<FailedEntryCase> {};

// Real firmware unloads an image whose entry fails: protocols installed afterwards must
// not call its notification functions. The entry closes the events it created (and
// only those still open: the variable-write one may have closed itself already).
TEST_P(FailedEntry, ClosesItsNotificationsSoLaterInstallationsRunNothingOfIt) {
  const FailedEntryCase &c = GetParam();
  sim::Platform platform(InterfaceFirstProfile(c.variableWriteAtBoot));
  PublishSharedState(platform);
  EFI_BOOT_SERVICES *services = platform.SystemTable()->BootServices;
  gRealInstall = services->InstallProtocolInterface;
  if (c.fault == EntryFault::InterfacePool) {
    platform.Memory().Faults().failNth = platform.Memory().DriverAllocationCount() + 1;
  } else {
    services->InstallProtocolInterface = RefusePlatformConfig;
  }
  auto &image = platform.Load(kDriver);
  services->InstallProtocolInterface = gRealInstall;
  EXPECT_EQ(image.entryStatus, EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(simtest::Locate<void>(platform, gPlatformConfigProtocolGuid), nullptr);
  EXPECT_TRUE(DriverEvents(platform).empty()) << "both notification events closed";
  auto blocks = platform.Memory().DriverAllocations();
  EXPECT_TRUE(std::none_of(blocks.begin(), blocks.end(), [](const sim::Allocation &block) { return block.size == 48; }))
      << "the interface is not left behind";

  // What a later installation would have run in the unloaded image.
  platform.Variables().Set(u"AdministerSecureBoot", &gAdministerSecureBootVariableGuid, 0x7, 0, nullptr);
  size_t callsBefore = platform.Trace().All().size();
  auto *setupData = platform.Memory().NewFirmware<SETUP_DATA_PROTOCOL>();
  setupData->SetupData = static_cast<UINT8 *>(platform.Memory().AllocateFirmware(SETUP_CONFIG_SIZE));
  platform.Core().InstallVariableWriteArch();
  platform.Core().InstallProtocol(gSetupDataProtocolGuid, setupData);
  EXPECT_EQ(AdministerSecureBoot(platform), nullptr);
  const auto &effects = platform.Trace().All();
  EXPECT_TRUE(std::none_of(effects.begin() + static_cast<long>(callsBefore), effects.end(),
                           [](const sim::Effect &effect) { return effect.actor == kDriver; }))
      << "nothing of the failed image ran";
}

INSTANTIATE_TEST_SUITE_P(PlatformConfigEntry, FailedEntry,
                         ::testing::Values(FailedEntryCase{EntryFault::InterfacePool, false},
                                           FailedEntryCase{EntryFault::InterfacePool, true},
                                           FailedEntryCase{EntryFault::Installation, false},
                                           FailedEntryCase{EntryFault::Installation, true}),
                         simtest::CaseName<FailedEntryCase>);

}  // namespace
