// How control crosses between an image and the platform, on whichever engine the run
// uses, and how a fault in an emulated image is reported instead of crashing.
#include <gtest/gtest.h>

#include <string>

#include "platform_sim/loader/pe_image.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"
#include "tests/support/sim_helpers.h"

namespace {

class EngineProbe : public ::testing::Test {
 protected:
  void Load(sim::PlatformProfile profile = sim::DefaultPlatformProfile()) {
    profile.variableWriteAtBoot = true;
    platform_ = std::make_unique<sim::Platform>(profile);
    image_ = &platform_->Load("EngineProbeDxe");
    probe_ = simtest::Locate<ENGINE_PROBE>(*platform_, gEngineProbeProtocolGuid);
  }
  std::unique_ptr<sim::Platform> platform_;
  sim::LoadedImage *image_ = nullptr;
  ENGINE_PROBE *probe_ = nullptr;
};

TEST_F(EngineProbe, NotifyRunsWhileTheImageIsInsideABootServiceAndCallsAnotherService) {
  Load();
  ASSERT_EQ(image_->entryStatus, EFI_SUCCESS) << image_->fault;
  ASSERT_NE(probe_, nullptr);
  EXPECT_EQ(probe_->Notifications, 1u);
  EXPECT_EQ(probe_->NotifiedInsideInstall, 1u) << "the notify ran inside the image's own install";
  EXPECT_EQ(simtest::ReadVariable<UINT32>(*platform_, u"EngineProbeNotify", gProbeVariableGuid), 1u);
}

TEST_F(EngineProbe, ArgumentsInRegistersAndOnTheStackArriveInOrder) {
  Load();
  ASSERT_NE(probe_, nullptr);
  EXPECT_EQ(platform_->Call(probe_->Mix, 1, 10, 100, 1000, 10000, 100000, 1000000),
            1u + 20u + 300u + 4000u + 50000u + 600000u + 7000000u);
  EXPECT_EQ(platform_->Call(probe_->Mix, ~0ull, 0, 0, 0, 0, 0, 1), ~0ull + 7u);
}

TEST_F(EngineProbe, AResetInsideTheImageUnwindsToTheCallerAndTheNextBootRuns) {
  Load();
  ASSERT_NE(probe_, nullptr);
  try {
    platform_->Call(probe_->Reset);
    FAIL() << "ResetSystem returned";
  } catch (const sim::PlatformReset &reset) {
    EXPECT_EQ(reset.type, EfiResetWarm);
  }
  platform_->Reboot();
  EXPECT_EQ(platform_->Load("EngineProbeDxe").entryStatus, EFI_SUCCESS);
}

TEST_F(EngineProbe, TheLoadedImageProtocolDescribesTheImageWhereItRuns) {
  Load();
  const EFI_LOADED_IMAGE_PROTOCOL *loaded = image_->loadedImage;
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(loaded->ImageBase), image_->base);
  if (!platform_->Emulated()) GTEST_SKIP() << "a host image's size is its shared object's business";
  auto file = sim::PeImage::ReadFile(std::string(SIM_FIRMWARE_IMAGE_DIR) + "/EngineProbeDxe.efi", nullptr);
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(loaded->ImageSize, file->SizeOfImage());
  EXPECT_EQ(image_->base % 0x1000, 0u);
  EXPECT_NE(image_->base, file->PreferredBase()) << "the load must exercise the relocations";
  EXPECT_TRUE(platform_->Memory().InArena(image_->base, file->SizeOfImage()));
}

// Faults: only the emulated engine can survive them.
struct FaultCase {
  const char *name;
  ENGINE_PROBE_FAULT kind;
  const char *report;  // part of the report
  uint64_t address;    // the faulting address
};
void PrintTo(const FaultCase &c, std::ostream *out) { *out << c.name; }

class EmulatedFault : public EngineProbe, public ::testing::WithParamInterface<FaultCase> {
 protected:
  void SetUp() override {
    if (sim::DefaultEngine() != sim::Engine::Emulated) GTEST_SKIP() << "a fault would end a host process";
  }
};

TEST_P(EmulatedFault, IsReportedWithTheImageAndOffsetAndThePlatformCarriesOn) {
  Load();
  ASSERT_NE(probe_, nullptr);
  platform_->Emulation().SetBlockBudget(1'000'000);
  try {
    platform_->Call(probe_->Fault, static_cast<UINT32>(GetParam().kind));
    FAIL() << "the fault was not reported";
  } catch (const sim::ImageFault &fault) {
    EXPECT_EQ(fault.Image(), GetParam().kind == EngineProbeCallNull ? "?" : "EngineProbeDxe") << fault.what();
    EXPECT_NE(std::string(fault.what()).find(GetParam().report), std::string::npos) << fault.what();
    if (GetParam().kind != EngineProbeCallNull) EXPECT_LT(fault.Offset(), image_->size);
    if (GetParam().kind == EngineProbeInvalidInstruction) {
      EXPECT_EQ(fault.Address(), fault.Rip()) << "the instruction itself is the fault";
    } else if (GetParam().kind != EngineProbeEndlessLoop) {
      EXPECT_EQ(fault.Address(), GetParam().address);
    }
  }
  // The platform, and the image's other functions, still work.
  EXPECT_EQ(platform_->Call(probe_->Mix, 1, 0, 0, 0, 0, 0, 0), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EmulatedFault,
    ::testing::Values(FaultCase{"ReadOfUnmappedMemory", EngineProbeReadUnmapped, "read of unmapped address 0x40", 0x40},
                      FaultCase{"CallThroughNull", EngineProbeCallNull, "instruction fetch of unmapped address 0x0", 0},
                      FaultCase{"InvalidInstruction", EngineProbeInvalidInstruction, "Invalid instruction", 0},
                      FaultCase{"EndlessLoop", EngineProbeEndlessLoop, "budget", 0}),
    [](const ::testing::TestParamInfo<FaultCase> &info) { return std::string(info.param.name); });

// Host code the platform never published: the engine refuses to run it for the image.
VOID EFIAPI NeverPublished() { ADD_FAILURE() << "an image ran host code the platform never handed out"; }

TEST_F(EngineProbe, AJumpIntoHostCodeThePlatformNeverPublishedIsAFault) {
  if (sim::DefaultEngine() != sim::Engine::Emulated) GTEST_SKIP() << "a host image can call anything";
  Load();
  ASSERT_NE(probe_, nullptr);
  const auto address = reinterpret_cast<uint64_t>(&NeverPublished);
  try {
    platform_->Call(probe_->CallAddress, address);
    FAIL() << "the jump was not refused";
  } catch (const sim::ImageFault &fault) {
    EXPECT_EQ(fault.Address(), address) << fault.what();
    EXPECT_NE(std::string(fault.what()).find("instruction fetch of unmapped address"), std::string::npos)
        << fault.what();
  }
  // A published service still answers the same image.
  EXPECT_EQ(platform_->Call(probe_->Mix, 2, 0, 0, 0, 0, 0, 0), 2u);
}

TEST_F(EngineProbe, AnEntryThatFaultsIsAFailedLoadInTheRecordNotACrash) {
  if (sim::DefaultEngine() != sim::Engine::Emulated) GTEST_SKIP() << "a fault would end a host process";
  sim::PlatformProfile profile = sim::DefaultPlatformProfile();
  UINT32 kind = EngineProbeInvalidInstruction;
  profile.variables.push_back(
      sim::Variable{u"EngineProbeFaultAtEntry", gProbeVariableGuid, EFI_VARIABLE_BOOTSERVICE_ACCESS,
                    std::vector<uint8_t>(reinterpret_cast<uint8_t *>(&kind), reinterpret_cast<uint8_t *>(&kind + 1))});
  Load(profile);
  EXPECT_FALSE(image_->entryReturned);
  EXPECT_NE(image_->fault.find("EngineProbeDxe+0x"), std::string::npos) << image_->fault;
  EXPECT_EQ(simtest::CountEffects(*platform_, sim::EffectKind::ImageFault, "EngineProbeDxe"), 1u);
  EXPECT_EQ(probe_, nullptr) << "the entry never installed its protocol";
}

}  // namespace
