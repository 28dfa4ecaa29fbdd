// SMRAM access, SMM communication with the lock-box store, the address fix-up registry
// and the change to virtual addressing, driven through their interfaces.
#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/support/lock_box_requests.h"
#include "tests/support/sim_helpers.h"

namespace {

using simtest::PutAt;

TEST(SmramAccessModel, CapabilitiesReportTheArenaSmramAndAskForRoomFirst) {
  sim::Platform platform(sim::PlatformProfile{});
  auto *access = simtest::Locate<EFI_SMM_ACCESS2_PROTOCOL>(platform, gEfiSmmAccess2ProtocolGuid);
  ASSERT_NE(access, nullptr);
  EXPECT_EQ(access->GetCapabilities(access, nullptr, nullptr), EFI_INVALID_PARAMETER);
  UINTN size = 0;
  ASSERT_EQ(access->GetCapabilities(access, &size, nullptr), EFI_BUFFER_TOO_SMALL);
  ASSERT_EQ(size, sizeof(EFI_SMRAM_DESCRIPTOR));
  EFI_SMRAM_DESCRIPTOR range{};
  ASSERT_EQ(access->GetCapabilities(access, &size, &range), EFI_SUCCESS);
  EXPECT_EQ(range.CpuStart, platform.Memory().SmramBase());
  EXPECT_EQ(range.PhysicalStart, range.CpuStart);
  EXPECT_EQ(range.PhysicalSize, sim::Arena::kSmramSize);
  EXPECT_EQ(range.RegionState, EFI_SMRAM_CLOSED | EFI_CACHEABLE);

  EXPECT_EQ(access->Open(access), EFI_SUCCESS);
  EXPECT_EQ(access->OpenState, TRUE);
  EXPECT_EQ(access->Lock(access), EFI_SUCCESS);
  EXPECT_EQ(access->Close(access), EFI_ACCESS_DENIED) << "a locked open region stays open";
  access->GetCapabilities(access, &size, &range);
  EXPECT_EQ(range.RegionState, EFI_SMRAM_OPEN | EFI_SMRAM_LOCKED | EFI_CACHEABLE);
}

class LockBoxModel : public ::testing::Test {
 protected:
  LockBoxModel() : platform_(sim::PlatformProfile{}) {
    communication_ = simtest::Locate<EFI_SMM_COMMUNICATION_PROTOCOL>(platform_, gEfiSmmCommunicationProtocolGuid);
    source_ = static_cast<uint8_t *>(platform_.Memory().AllocatePool(EfiBootServicesData, 32));
    for (int index = 0; index < 32; ++index) source_[index] = static_cast<uint8_t>(0x40 + index);
  }

  // Sends a request; returns Communicate's status and leaves the answer in *answer.
  EFI_STATUS Send(std::vector<uint8_t> request, UINTN size, uint64_t *answer) {
    EFI_STATUS status = communication_->Communicate(communication_, request.data(), &size);
    if (request.size() >= 40) std::memcpy(answer, request.data() + 32, sizeof(*answer));
    return status;
  }

  uint64_t Source() const { return reinterpret_cast<uint64_t>(source_); }

  sim::Platform platform_;
  EFI_SMM_COMMUNICATION_PROTOCOL *communication_ = nullptr;
  uint8_t *source_ = nullptr;
};

TEST_F(LockBoxModel, ASaveKeepsACopyAndTheRawRequestAsSent) {
  std::vector<uint8_t> request = simtest::SaveRequest(gS3BootScriptPrivateLockBoxGuid, Source(), 32);
  uint64_t answer = 0;
  ASSERT_EQ(Send(request, 72, &answer), EFI_SUCCESS);
  EXPECT_EQ(answer, EFI_SUCCESS);
  source_[0] = 0;  // later changes do not reach the box
  const sim::LockBox *box = platform_.Core().LockBoxes().Find(gS3BootScriptPrivateLockBoxGuid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->contents.size(), 32u);
  EXPECT_EQ(box->contents[0], 0x40);
  EXPECT_EQ(box->source, Source());
  ASSERT_EQ(platform_.Core().Communication().Requests().size(), 1u);
  EXPECT_EQ(platform_.Core().Communication().Requests()[0].bytes, request) << "captured before the answer";

  uint64_t attributes = 0;
  ASSERT_EQ(Send(simtest::SetAttributesRequest(gS3BootScriptPrivateLockBoxGuid, 1), 64, &attributes), EFI_SUCCESS);
  EXPECT_EQ(attributes, EFI_SUCCESS);
  EXPECT_EQ(box->attributes, 1u);
  EXPECT_EQ(platform_.Core().LockBoxes().Describe()[0]["guid"], "S3BootScriptPrivate");
  EXPECT_EQ(platform_.Core().LockBoxes().Describe()[0]["size"], 32u);
}

struct BadRequest {
  const char *name;
  std::vector<uint8_t> bytes;
  UINTN size;
  EFI_STATUS communicate;
  EFI_STATUS answer;  // in the return-status field, when the handler ran
};

TEST_F(LockBoxModel, MalformedOrRefusedRequestsAreAnsweredWithAClearStatus) {
  std::vector<uint8_t> saved = simtest::SaveRequest(gS3ScriptTableLockBoxGuid, Source(), 16);
  uint64_t ignored = 0;
  ASSERT_EQ(Send(saved, 72, &ignored), EFI_SUCCESS);

  std::vector<uint8_t> otherHandler = simtest::SaveRequest(gS3ScriptTableUsedLockBoxGuid, Source(), 16);
  PutAt(otherHandler, 0, gSharedListHeadProtocolGuid);
  std::vector<uint8_t> wrongDataLength = simtest::SaveRequest(gS3ScriptTableUsedLockBoxGuid, Source(), 16);
  PutAt<uint32_t>(wrongDataLength, 28, 40);
  std::vector<uint8_t> unknownCommand = simtest::SaveRequest(gS3ScriptTableUsedLockBoxGuid, Source(), 16);
  PutAt<uint32_t>(unknownCommand, 24, 3);
  uint64_t smram = platform_.Memory().SmramBase();
  uint64_t unallocated = platform_.Memory().SmramBase() - 0x100000;

  const BadRequest cases[] = {
      {"shorter than the header", saved, 16, EFI_BAD_BUFFER_SIZE, ~0ull},
      {"message longer than the buffer", saved, 64, EFI_BAD_BUFFER_SIZE, ~0ull},
      {"no handler for the GUID", otherHandler, 72, EFI_NOT_FOUND, ~0ull},
      {"data length of another command", wrongDataLength, 72, EFI_SUCCESS, EFI_INVALID_PARAMETER},
      {"unknown command", unknownCommand, 72, EFI_SUCCESS, EFI_UNSUPPORTED},
      {"saved twice", saved, 72, EFI_SUCCESS, EFI_ALREADY_STARTED},
      {"zero length", simtest::SaveRequest(gS3ScriptTableUsedLockBoxGuid, Source(), 0), 72, EFI_SUCCESS,
       EFI_INVALID_PARAMETER},
      {"past the allocation", simtest::SaveRequest(gS3ScriptTableUsedLockBoxGuid, Source(), 33), 72, EFI_SUCCESS,
       EFI_INVALID_PARAMETER},
      {"unallocated memory", simtest::SaveRequest(gS3ScriptTableUsedLockBoxGuid, unallocated, 8), 72, EFI_SUCCESS,
       EFI_INVALID_PARAMETER},
      {"SMRAM", simtest::SaveRequest(gS3ScriptTableUsedLockBoxGuid, smram, 8), 72, EFI_SUCCESS, EFI_ACCESS_DENIED},
      {"attributes above 1", simtest::SetAttributesRequest(gS3ScriptTableLockBoxGuid, 2), 64, EFI_SUCCESS,
       EFI_INVALID_PARAMETER},
      {"attributes of an unknown box", simtest::SetAttributesRequest(gS3ScriptTableUsedLockBoxGuid, 1), 64, EFI_SUCCESS,
       EFI_NOT_FOUND},
  };
  for (const BadRequest &test : cases) {
    SCOPED_TRACE(test.name);
    uint64_t answer = ~0ull;
    EXPECT_EQ(Send(test.bytes, test.size, &answer), test.communicate);
    EXPECT_EQ(answer, test.answer);
  }
  EXPECT_EQ(platform_.Core().LockBoxes().Boxes().size(), 1u);
  EXPECT_EQ(platform_.Core().LockBoxes().Boxes()[0].attributes, 0u);
}

TEST(AddressFixupModel, RegistrationsAreCheckedAndConvertedAtTheVirtualSwitch) {
  sim::Platform platform(sim::PlatformProfile{});
  platform.Core().InstallAddressFixup();
  auto *fixup = simtest::Locate<sim::AddressFixupInterface>(platform, gAddressFixupProtocolGuid);
  ASSERT_NE(fixup, nullptr);
  auto **variable = platform.Memory().NewFirmware<void *>();
  *variable = platform.SystemTable();
  EXPECT_EQ(fixup->Register(nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(fixup->Register(reinterpret_cast<VOID **>(0x1000)), EFI_INVALID_PARAMETER) << "not readable memory";
  EXPECT_EQ(fixup->Register(variable), EFI_SUCCESS);
  EXPECT_EQ(fixup->Register(variable), EFI_ALREADY_STARTED);
  UINTN count = 0;
  BOOLEAN registered = FALSE;
  EXPECT_EQ(fixup->GetRegistrationCount(&count), EFI_SUCCESS);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(fixup->IsRegistered(variable, &registered), EFI_SUCCESS);
  EXPECT_EQ(registered, TRUE);

  EFI_RUNTIME_SERVICES *runtime = platform.SystemTable()->RuntimeServices;
  EXPECT_EQ(runtime->ConvertPointer(0, variable), EFI_UNSUPPORTED) << "only during the switch";
  ASSERT_EQ(platform.Core().SetVirtualAddressMap(), EFI_SUCCESS);
  EXPECT_EQ(platform.Core().SetVirtualAddressMap(), EFI_UNSUPPORTED) << "once per boot";
  const auto &conversions = platform.Core().VirtualAddresses().Conversions();
  ASSERT_EQ(conversions.size(), 2u);
  EXPECT_EQ(conversions[1].variable, reinterpret_cast<uint64_t>(variable));
  EXPECT_EQ(conversions[1].value, reinterpret_cast<uint64_t>(platform.SystemTable()));
  EXPECT_EQ(conversions[1].status, EFI_SUCCESS);
  EXPECT_EQ(*variable, platform.SystemTable()) << "the conversion is the identity";

  EXPECT_EQ(fixup->Remove(variable), EFI_SUCCESS);
  EXPECT_EQ(fixup->Remove(variable), EFI_NOT_FOUND);
}

VOID EFIAPI ConvertTwoPointers(EFI_EVENT, VOID *context) {
  auto **pointers = static_cast<void **>(context);
  EFI_RUNTIME_SERVICES *runtime = sim::Platform::Current().SystemTable()->RuntimeServices;
  runtime->ConvertPointer(0, &pointers[0]);
  runtime->ConvertPointer(EFI_OPTIONAL_PTR, &pointers[1]);
  runtime->ConvertPointer(0, &pointers[1]);
}

TEST(VirtualAddressModel, TheSwitchSignalsTheGroupAndConvertPointerChecksNullPointers) {
  sim::Platform platform(sim::PlatformProfile{});
  void *pointers[2] = {platform.SystemTable(), nullptr};
  EFI_EVENT event = nullptr;
  ASSERT_EQ(platform.SystemTable()->BootServices->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, ConvertTwoPointers,
                                                                pointers, &gEfiEventVirtualAddressChangeGuid, &event),
            EFI_SUCCESS);
  platform.Core().SetVirtualAddressMap();
  const auto &conversions = platform.Core().VirtualAddresses().Conversions();
  ASSERT_EQ(conversions.size(), 3u);
  EXPECT_EQ(conversions[0].status, EFI_SUCCESS);
  EXPECT_EQ(conversions[1].status, EFI_SUCCESS) << "an optional null pointer";
  EXPECT_EQ(conversions[2].status, EFI_INVALID_PARAMETER) << "a null pointer that is not optional";
}

}  // namespace
