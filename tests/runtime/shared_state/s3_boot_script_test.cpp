// The shared S3 boot-script record, its lock boxes at the ready-to-lock point, the
// lock-box request rules and the shared list head.
#include <gtest/gtest.h>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"
#include "tests/support/lock_box_requests.h"
#include "tests/support/sim_helpers.h"

namespace {

using simtest::SaveRequest;
using simtest::SetAttributesRequest;

constexpr char kDriver[] = "PlatformConfigDxe";
constexpr uint64_t kPage = 4096;

uint64_t RecordAddress(sim::Platform &platform) {
  return platform.Pcds().Number(platform.Pcds().Find(gS3BootScriptTokenSpaceGuid, 0x30000));
}

uint8_t *Record(sim::Platform &platform) { return reinterpret_cast<uint8_t *>(RecordAddress(platform)); }

size_t AcpiNvsBlocks(sim::Platform &platform) {
  size_t count = 0;
  for (const sim::Allocation &block : platform.Memory().DriverAllocations()) count += block.type == EfiACPIMemoryNVS;
  return count;
}

std::vector<std::vector<uint8_t>> RequestBytes(sim::Platform &platform) {
  std::vector<std::vector<uint8_t>> result;
  for (const sim::CommunicationRequest &request : platform.Core().Communication().Requests()) {
    result.push_back(request.bytes);
  }
  return result;
}

// A script table as another image would have built it: pages of a known pattern,
// entered in the shared record.
struct ScriptTable {
  uint8_t *bytes;
  uint32_t used;
  uint16_t pages;
};

ScriptTable InstallScriptTable(sim::Platform &platform, uint16_t pages, uint32_t used, uint16_t allocatedPages) {
  auto address = platform.Memory().AllocatePages(AllocateAnyPages, EfiBootServicesData, allocatedPages, 0);
  EXPECT_TRUE(address.has_value());
  auto *table = reinterpret_cast<uint8_t *>(*address);
  for (uint64_t index = 0; index < allocatedPages * kPage; ++index) table[index] = static_cast<uint8_t>(index * 7);
  uint8_t *record = Record(platform);
  std::memcpy(record, &*address, 8);
  std::memcpy(record + 8, &used, 4);
  std::memcpy(record + 12, &pages, 2);
  return ScriptTable{table, used, pages};
}

TEST(S3BootScript, TheFirstImageCreatesTheRecordAndTheSecondSharesIt) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Load(kDriver);
  uint64_t address = RecordAddress(platform);
  ASSERT_NE(address, 0u);
  const sim::Allocation *page = platform.Memory().Find(address);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->address, address);
  EXPECT_TRUE(page->pages);
  EXPECT_EQ(page->size, kPage);
  EXPECT_EQ(page->type, EfiACPIMemoryNVS);
  EXPECT_LE(address + kPage, 0x100000000ull);
  EXPECT_EQ(std::vector<uint8_t>(Record(platform), Record(platform) + 16), std::vector<uint8_t>(16, 0));
  EXPECT_EQ(simtest::CountCalls(platform, "RegisterProtocolNotify DxeSmmReadyToLock"), 1u);

  platform.Load(kDriver);
  EXPECT_EQ(RecordAddress(platform), address);
  EXPECT_EQ(AcpiNvsBlocks(platform), 1u);
  EXPECT_EQ(simtest::CountCalls(platform, "RegisterProtocolNotify DxeSmmReadyToLock"), 1u);
}

TEST(S3BootScript, WithoutAPageTheRecordStaysUnsetAndTheDriverStillStarts) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Memory().Faults().failType = EfiACPIMemoryNVS;
  EXPECT_EQ(platform.Load(kDriver).entryStatus, EFI_SUCCESS);
  EXPECT_EQ(RecordAddress(platform), 0u);
  EXPECT_EQ(simtest::CountCalls(platform, "RegisterProtocolNotify DxeSmmReadyToLock"), 0u);
}

TEST(S3BootScript, ReadyToLockTerminatesTheTableAndSavesTheLockBoxesOnceHoweverOftenItFires) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Load(kDriver);
  ScriptTable table = InstallScriptTable(platform, 2, 100, 2);
  uint64_t tableAddress = reinterpret_cast<uint64_t>(table.bytes);
  uint8_t following = table.bytes[103];

  platform.Core().InstallSmmReadyToLock();
  EXPECT_EQ(std::vector<uint8_t>(table.bytes + 100, table.bytes + 103), (std::vector<uint8_t>{0xFF, 0x00, 0x03}));
  uint32_t totalLength = 0;
  std::memcpy(&totalLength, table.bytes + 5, 4);
  EXPECT_EQ(totalLength, 103u);
  EXPECT_EQ(table.bytes[103], following);
  EXPECT_EQ(Record(platform)[14], 1) << "closed";

  std::vector<std::vector<uint8_t>> expected = {
      SaveRequest(gS3ScriptTableLockBoxGuid, tableAddress, 2 * kPage),
      SetAttributesRequest(gS3ScriptTableLockBoxGuid, 1),
      SaveRequest(gS3ScriptTableUsedLockBoxGuid, tableAddress, 103),
      SaveRequest(gS3BootScriptPrivateLockBoxGuid, RecordAddress(platform), 8),
      SetAttributesRequest(gS3BootScriptPrivateLockBoxGuid, 1),
  };
  EXPECT_EQ(RequestBytes(platform), expected);
  for (const sim::CommunicationRequest &request : platform.Core().Communication().Requests()) {
    EXPECT_EQ(request.size, request.bytes.size());
    EXPECT_EQ(request.status, EFI_SUCCESS);
  }

  const sim::LockBoxStore &boxes = platform.Core().LockBoxes();
  const sim::LockBox *whole = boxes.Find(gS3ScriptTableLockBoxGuid);
  const sim::LockBox *used = boxes.Find(gS3ScriptTableUsedLockBoxGuid);
  const sim::LockBox *record = boxes.Find(gS3BootScriptPrivateLockBoxGuid);
  ASSERT_TRUE(whole && used && record);
  EXPECT_EQ(whole->contents, std::vector<uint8_t>(table.bytes, table.bytes + 2 * kPage));
  EXPECT_EQ(whole->attributes, 1u);
  EXPECT_EQ(used->contents, std::vector<uint8_t>(table.bytes, table.bytes + 103));
  EXPECT_EQ(used->attributes, 0u);
  EXPECT_EQ(record->contents, std::vector<uint8_t>(Record(platform), Record(platform) + 8));
  EXPECT_EQ(record->attributes, 1u);

  // Fired again by a second installation and by hand: nothing more happens.
  platform.Core().InstallSmmReadyToLock();
  auto events = simtest::NotifyEvents(platform, kDriver, gEfiDxeSmmReadyToLockProtocolGuid);
  ASSERT_EQ(events.size(), 1u) << "the event stays armed";
  platform.SystemTable()->BootServices->SignalEvent(events[0]->id);
  EXPECT_EQ(events[0]->notifications, 4u);
  EXPECT_EQ(platform.Core().Communication().Requests().size(), 5u);
  std::memcpy(&totalLength, table.bytes + 5, 4);
  EXPECT_EQ(totalLength, 103u);
  EXPECT_EQ(table.bytes[103], following);
}

TEST(S3BootScript, WithoutAScriptTableOnlyTheTwoAttributeRequestsAndTheRecordSaveAreSent) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Load(kDriver);
  platform.Core().InstallSmmReadyToLock();
  EXPECT_EQ(Record(platform)[14], 1);
  std::vector<std::vector<uint8_t>> expected = {
      SetAttributesRequest(gS3ScriptTableLockBoxGuid, 1),
      SaveRequest(gS3BootScriptPrivateLockBoxGuid, RecordAddress(platform), 8),
      SetAttributesRequest(gS3BootScriptPrivateLockBoxGuid, 1),
  };
  EXPECT_EQ(RequestBytes(platform), expected);
  ASSERT_EQ(platform.Core().LockBoxes().Boxes().size(), 1u);
  EXPECT_EQ(platform.Core().LockBoxes().Boxes()[0].contents, std::vector<uint8_t>(8, 0));
}

// A record that claims more used bytes than its pages hold would put the terminator
// past the table; such a table is treated as no table.
TEST(S3BootScript, ATableTooFullForTheTerminatorIsNeitherWrittenPastNorSaved) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Load(kDriver);
  ScriptTable table = InstallScriptTable(platform, 1, kPage - 2, 2);
  std::vector<uint8_t> before(table.bytes, table.bytes + 2 * kPage);
  platform.Core().InstallSmmReadyToLock();
  EXPECT_EQ(std::vector<uint8_t>(table.bytes, table.bytes + 2 * kPage), before);
  EXPECT_EQ(Record(platform)[14], 1);
  EXPECT_EQ(platform.Core().Communication().Requests().size(), 3u);
  EXPECT_EQ(platform.Core().LockBoxes().Find(gS3ScriptTableLockBoxGuid), nullptr);
}

TEST(S3BootScript, WithoutTheCommunicationProtocolTheRecordIsStillClosed) {
  sim::PlatformProfile profile;
  profile.smmCommunication = false;
  sim::Platform platform(profile);
  platform.Load(kDriver);
  platform.Core().InstallSmmReadyToLock();
  EXPECT_EQ(Record(platform)[14], 1);
  EXPECT_TRUE(platform.Core().LockBoxes().Boxes().empty());
}

struct LockBoxCase {
  const char *name;
  bool save;
  bool nullGuid;
  bool nullBuffer;
  uint64_t lengthOrAttributes;
  EFI_STATUS expected;
  bool sent;
};

// The probe's buffer and GUID; each case runs after one successful save of that GUID.
TEST(LockBoxRequests, ArgumentsAreCheckedBeforeSendingAndTheHandlersAnswerIsTheResult) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Load("PlatformConfigProbe");
  auto *probe = simtest::Locate<PLATFORM_CONFIG_PROBE>(platform, gProbeProtocolGuid);
  ASSERT_NE(probe, nullptr);
  void *buffer = platform.Memory().AllocatePool(EfiBootServicesData, 32);
  EFI_GUID guid = gProbeVariableGuid;
  EFI_GUID unknown = gProbeProtocolGuid;
  ASSERT_EQ(simtest::Call(probe->SaveLockBox, &guid, buffer, 32), EFI_SUCCESS);

  const LockBoxCase cases[] = {
      {"null GUID", true, true, false, 8, EFI_INVALID_PARAMETER, false},
      {"null buffer", true, false, true, 8, EFI_INVALID_PARAMETER, false},
      {"zero length", true, false, false, 0, EFI_INVALID_PARAMETER, false},
      {"saved twice", true, false, false, 8, EFI_ALREADY_STARTED, true},
      {"attributes null GUID", false, true, false, 1, EFI_INVALID_PARAMETER, false},
      {"attributes above 1", false, false, false, 2, EFI_INVALID_PARAMETER, false},
      {"attributes 0", false, false, false, 0, EFI_SUCCESS, true},
  };
  for (const LockBoxCase &test : cases) {
    SCOPED_TRACE(test.name);
    size_t before = platform.Core().Communication().Requests().size();
    EFI_STATUS status = test.save ? simtest::Call(probe->SaveLockBox, test.nullGuid ? nullptr : &guid,
                                                  test.nullBuffer ? nullptr : buffer, test.lengthOrAttributes)
                                  : simtest::Call(probe->SetLockBoxAttributes, test.nullGuid ? nullptr : &guid,
                                                  test.lengthOrAttributes);
    EXPECT_EQ(status, test.expected);
    EXPECT_EQ(platform.Core().Communication().Requests().size(), before + (test.sent ? 1 : 0));
  }
  EXPECT_EQ(simtest::Call(probe->SetLockBoxAttributes, &unknown, 1), EFI_NOT_FOUND);
}

TEST(LockBoxRequests, WithoutTheCommunicationProtocolRequestsAreNotStarted) {
  sim::PlatformProfile profile;
  profile.smmCommunication = false;
  sim::Platform platform(profile);
  platform.Load("PlatformConfigProbe");
  auto *probe = simtest::Locate<PLATFORM_CONFIG_PROBE>(platform, gProbeProtocolGuid);
  void *buffer = platform.Memory().AllocatePool(EfiBootServicesData, 8);
  EXPECT_EQ(simtest::Call(probe->SaveLockBox, &gProbeVariableGuid, buffer, 8), EFI_NOT_STARTED);
  EXPECT_EQ(simtest::Call(probe->SetLockBoxAttributes, &gProbeVariableGuid, 1), EFI_NOT_STARTED);
}

TEST(SharedListHead, TheFirstImagePublishesAnEmptyHeadAndLaterImagesFindIt) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Load(kDriver);
  platform.Load(kDriver);
  ASSERT_EQ(platform.Core().Protocols().HandlesWith(gSharedListHeadProtocolGuid).size(), 1u);
  auto *head = simtest::Locate<void *>(platform, gSharedListHeadProtocolGuid);
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head[0], head) << "forward link";
  EXPECT_EQ(head[1], head) << "back link";
  const sim::Allocation *block = platform.Memory().Find(reinterpret_cast<uint64_t>(head));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->size, 16u);
  EXPECT_EQ(block->type, EfiBootServicesData);
}

}  // namespace
