#include "platform_sim/platform.h"

#include <cstdio>
#include <stdexcept>

#include "platform_sim/firmware/guid_util.h"
#include "runtime/shared_state/s3_boot_script.h"
#include "runtime/uefi/status.h"
#include "runtime/uefi/guids.h"

namespace sim {

namespace {
Platform *gCurrent = nullptr;
}

Platform::Platform(PlatformProfile profile)
    : profile_(std::move(profile)), cpu_(profile_.tscHz), rtc_(cpu_), cmos0_(0x70),
      cmos2_(0x72, CmosBank::IndexDecode::Full8Bit), ec_(cpu_), pit_(cpu_) {
  if (gCurrent != nullptr) throw std::logic_error("only one simulated platform can exist at a time");
  gCurrent = this;
  cmos0_.Attach(bus_);
  cmos0_.AttachClock(&rtc_);
  cmos2_.Attach(bus_);
  ec_.Attach(bus_);
  postCodes_.Attach(bus_);
  ioDelay_.Attach(bus_);
  pit_.Attach(bus_);
  pci_.Attach(bus_);
  cmos2_.OnWrite([this](uint8_t index, uint8_t value) {
    char text[48];
    std::snprintf(text, sizeof(text), "bank 2 register 0x%02X <- 0x%02X", index, value);
    Record(EffectKind::CmosWrite, text, value);
  });
  ec_.OnByte([this](const EcByte &byte) {
    char text[48];
    std::snprintf(text, sizeof(text), "%s 0x%02X%s", byte.command ? "command" : "data", byte.value,
                  byte.lost ? " LOST (input buffer full)" : "");
    Record(EffectKind::EcByte, text, byte.value);
  });
  postCodes_.OnWrite([this](const PostCodeWrite &code) {
    char text[40];
    std::snprintf(text, sizeof(text), "0x%0*X (%u-bit)", static_cast<int>(code.width * 2), code.value, code.width * 8);
    Record(EffectKind::PostCode, text, code.value);
  });
  if (profile_.pmcPresent) pmc_.Attach(bus_, pci_);
  pmc_.OnSleepSmi([this] {
    if (profile_.smmBase) {
      core_->Smm().RaiseSmi("SLP_EN");
    } else {
      pmc_.CompleteSleep();  // no SMM: nothing intercepts the transition
    }
  });
  pmc_.OnSleepState([this](int state) { Record(EffectKind::SleepState, "entered S" + std::to_string(state)); });
  pmc_.SetTraceHubDisabled(profile_.traceHubDisabled);
  if (profile_.traceHubPresent) traceHub_.Attach(bus_);
  traceHub_.OnMessage([this](const TraceHubMessage &message) {
    Record(EffectKind::TraceHubMessage, DescribeTraceHubMessage(message), message.tag);
  });
  flash_ = std::make_unique<FlashHardware>(
      profile_.flash, cpu_, bus_, pci_, trace_, [this] { return Actor(); }, [this] { PowerCut(); });
  ApplyHardwareProfile();
  for (const Variable &variable : profile_.variables) variables_.Put(variable);
  if (profile_.s3BootScriptPcd)
    pcds_.Define(gS3BootScriptTokenSpaceGuid, S3_BOOT_SCRIPT_PRIVATE_PCD, std::vector<uint8_t>(8, 0));
  for (const PlatformProfile::Pcd &pcd : profile_.pcds) {
    if (pcd.space) {
      pcds_.Define(*pcd.space, pcd.token, pcd.value, pcd.persistent);
    } else {
      pcds_.Define(pcd.token, pcd.value, pcd.persistent);
    }
  }
  loader_ = std::make_unique<ImageLoader>();
  StartBoot();
}

Platform::~Platform() {
  loader_.reset();
  if (emulator_ != nullptr) emulator_->EndBoot();
  core_.reset();
  gCurrent = nullptr;
}

Platform &Platform::Current() {
  if (gCurrent == nullptr) throw std::logic_error("no simulated platform exists");
  return *gCurrent;
}

bool Platform::Exists() { return gCurrent != nullptr; }

void Platform::ApplyHardwareProfile() {
  for (const auto &[index, value] : profile_.cmosBank2) cmos2_.Set(index, value);
  rtc_.SetTime(profile_.rtcTime);
  rtc_.SetUpdateStuck(profile_.rtcUpdateStuck);
  pit_.SetStuck(profile_.pitStuck);
  cpu_.SetInterrupts(profile_.interruptsEnabled);
  ec_.SetResponsiveness(profile_.ecResponsiveness);
  ec_.SetAnswers(profile_.ecAnswers);
}

void Platform::StartBoot() {
  ++boot_;
  trace_.SetBoot(boot_);
  trace_.Add(EffectKind::BootStart, "platform", "boot " + std::to_string(boot_));
  pcds_.StartBoot();
  core_ = std::make_unique<FirmwareCore>(*this, profile_);
  if (profile_.engine == Engine::Emulated) {
    emulator_ = &Emulator::Process();
    emulator_->StartBoot(core_->Memory());
  }
}

Emulator &Platform::Emulation() {
  if (emulator_ == nullptr) throw std::logic_error("this platform runs host images: it has no emulated CPU");
  return *emulator_;
}

LoadedImage &Platform::Load(const std::string &name, const LoadOptions &options) {
  return loader_->Load(*this, name, options);
}

void Platform::Reset(EFI_RESET_TYPE type, EFI_STATUS status) {
  static const char *const kTypes[] = {"cold", "warm", "shutdown", "platform-specific"};
  Record(EffectKind::Reset, std::string(type <= EfiResetPlatformSpecific ? kTypes[type] : "unknown") + " reset",
         static_cast<uint64_t>(type));
  throw PlatformReset{type, status};
}

void Platform::Finding(const std::string &what) {
  Record(EffectKind::Finding, what);
  if (strict_) throw StrictViolation{Actor() + ": " + what};
}

void Platform::PowerCut() {
  Record(EffectKind::Reset, "power cut");
  throw PlatformReset{EfiResetCold, EFI_ABORTED, true};
}

void Platform::Reboot() {
  // Tear the old boot down before the new one maps the arena again.
  loader_->UnloadAll();
  if (emulator_ != nullptr) emulator_->EndBoot();
  core_.reset();
  actors_.clear();
  variables_.DropVolatile();
  cpu_.Reset();
  cpu_.SetInterrupts(profile_.interruptsEnabled);
  flash_->PowerOn();
  pmc_.Wake();
  StartBoot();
}

void Platform::EnterSleepState(int state) {
  ActorScope actor(*this, "OS");
  Record(EffectKind::Note, "PM1 control <- SLP_TYP for S" + std::to_string(state) + " | SLP_EN");
  bus_.IoWrite(PowerManagementController::kPm1Control, 2, PowerManagementController::SleepRequest(state));
}

}  // namespace sim
