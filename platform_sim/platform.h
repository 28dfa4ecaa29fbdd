// The platform model: the hardware that persists across resets, and the firmware core
// of the current boot (memory, services, tables, loaded images). Only one platform
// exists at a time; the service entry points reach it through Current().
#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform_sim/cpu/cpu.h"
#include "platform_sim/devices/cmos.h"
#include "platform_sim/devices/pci_express.h"
#include "platform_sim/devices/embedded_controller.h"
#include "platform_sim/devices/pit.h"
#include "platform_sim/devices/power_management.h"
#include "platform_sim/devices/simple_ports.h"
#include "platform_sim/devices/trace_hub.h"
#include "platform_sim/engine/emulator.h"
#include "platform_sim/engine/engine.h"
#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/pcd_database.h"
#include "platform_sim/firmware/variable_store.h"
#include "platform_sim/flash/flash_hardware.h"
#include "platform_sim/loader/image_loader.h"
#include "platform_sim/memory/address_map.h"
#include "platform_sim/profile/platform_profile.h"
#include "platform_sim/trace/effect_trace.h"

namespace sim {

// Thrown by ResetSystem: unwinds out of the running image back to whoever started it.
struct PlatformReset {
  EFI_RESET_TYPE type;
  EFI_STATUS status;
  bool powerCut = false;  // the power failed; nobody asked for a reset
};

// Thrown in strict mode when an image breaks a firmware rule (a finding): unwinds out
// of the running image like a reset, so the scenario fails where the rule was broken.
// Where an image lay during one boot, kept after the boot ends so the report can show
// addresses of every boot relative to their image.
struct ImageRange {
  uint32_t boot = 0;
  std::string name;
  uint64_t base = 0;
  uint64_t size = 0;
};

struct StrictViolation {
  std::string what;
};

class Platform {
 public:
  explicit Platform(PlatformProfile profile = DefaultPlatformProfile());
  ~Platform();
  Platform(const Platform &) = delete;
  Platform &operator=(const Platform &) = delete;

  static Platform &Current();
  static bool Exists();

  const PlatformProfile &Profile() const { return profile_; }

  // Hardware: persists across a reset.
  Cpu &Processor() { return cpu_; }
  AddressMap &Bus() { return bus_; }
  CmosBank &Cmos() { return cmos0_; }
  CmosBank &Cmos2() { return cmos2_; }
  RealTimeClock &Rtc() { return rtc_; }
  EmbeddedController &Ec() { return ec_; }
  PostCodePort &PostCodes() { return postCodes_; }
  IoDelayPort &IoDelay() { return ioDelay_; }
  Pit &Timer() { return pit_; }
  VariableStore &Variables() { return variables_; }
  PcdDatabase &Pcds() { return pcds_; }
  PciExpressSpace &Pci() { return pci_; }
  PowerManagementController &Pmc() { return pmc_; }
  TraceHub &TraceHubWindow() { return traceHub_; }
  EffectTrace &Trace() { return trace_; }
  FlashHardware &Flash() { return *flash_; }

  // Firmware of the current boot.
  FirmwareCore &Core() { return *core_; }
  Arena &Memory() { return core_->Memory(); }
  EFI_SYSTEM_TABLE *SystemTable() { return core_->SystemTable(); }
  ImageLoader &Images() { return *loader_; }

  // Loads an image on the profile's engine and runs its entry; a reset during the entry
  // propagates.
  LoadedImage &Load(const std::string &name, const LoadOptions &options = {});

  // The engine images run on; the emulated CPU of the current boot (emulated engine only).
  Engine ImageEngine() const { return profile_.engine; }
  bool Emulated() const { return emulator_ != nullptr; }
  Emulator &Emulation();

  // Calls a function an image published (its entry, a protocol member, a notify
  // function): on the emulated CPU when the function lies in an emulated image,
  // directly otherwise. Every call the platform or a test makes into an image goes
  // through here, so a scenario runs unchanged on both engines.
  template <typename Result, typename... Parameters, typename... Arguments>
  Result Call(Result(EFIAPI *function)(Parameters...), Arguments... arguments) {
    static_assert(sizeof...(Parameters) == sizeof...(Arguments), "wrong number of arguments");
    const auto address = reinterpret_cast<uint64_t>(function);
    if (emulator_ != nullptr && emulator_->Runs(address)) {
      const uint64_t result = emulator_->Call(address, {ToWord(static_cast<Parameters>(arguments))...});
      if constexpr (std::is_pointer_v<Result>) {
        return reinterpret_cast<Result>(result);
      } else if constexpr (!std::is_void_v<Result>) {
        return static_cast<Result>(result);
      } else {
        return;
      }
    }
    return function(static_cast<Parameters>(arguments)...);
  }

  // A new boot: the firmware core and images are dropped, volatile variables too;
  // flash, CMOS and non-volatile variables remain.
  void Reboot();
  // The operating system enters sleep state S0 to S5 through PM1 control (an SMI runs
  // the Sx handlers first); after S4 or S5 the platform is off until Reboot().
  void EnterSleepState(int state);
  uint32_t BootNumber() const { return boot_; }
  // Called by ResetSystem: records the reset and unwinds.
  [[noreturn]] void Reset(EFI_RESET_TYPE type, EFI_STATUS status);
  // The power fails (an injected fault): unwinds like a reset; Reboot() starts again.
  [[noreturn]] void PowerCut();

  // Who is acting: the image whose code runs now, for the record.
  std::string Actor() const { return actors_.empty() ? "platform" : actors_.back(); }
  void PushActor(std::string actor) { actors_.push_back(std::move(actor)); }
  void PopActor() { actors_.pop_back(); }
  void Record(EffectKind kind, std::string what, uint64_t value = 0) {
    trace_.Add(kind, Actor(), std::move(what), value);
  }
  // A firmware rule the acting image broke (a TPL rule, RaiseTPL/RestoreTPL misuse).
  // Always recorded; in strict mode it also ends the run with StrictViolation.
  void Finding(const std::string &what);
  // A call the platform refuses or cannot serve; recorded, never a crash.
  void Fault(const std::string &what) { Record(EffectKind::Fault, what); }
  void SetStrict(bool strict) { strict_ = strict; }
  void NoteImageRange(ImageRange range) { imageRanges_.push_back(std::move(range)); }
  const std::vector<ImageRange> &ImageRanges() const { return imageRanges_; }
  bool Strict() const { return strict_; }

 private:
  template <typename T>
  static uint64_t ToWord(T value) {
    if constexpr (std::is_pointer_v<T>) {
      return reinterpret_cast<uint64_t>(value);
    } else {
      return static_cast<uint64_t>(value);
    }
  }

  void StartBoot();
  void ApplyHardwareProfile();

  PlatformProfile profile_;
  Cpu cpu_;
  AddressMap bus_;
  RealTimeClock rtc_;
  CmosBank cmos0_;
  CmosBank cmos2_;
  EmbeddedController ec_;
  PostCodePort postCodes_;
  IoDelayPort ioDelay_;
  Pit pit_;
  VariableStore variables_;
  PcdDatabase pcds_;
  PciExpressSpace pci_;
  PowerManagementController pmc_;
  TraceHub traceHub_;
  EffectTrace trace_;
  std::unique_ptr<FlashHardware> flash_;
  std::unique_ptr<ImageLoader> loader_;
  std::unique_ptr<FirmwareCore> core_;
  Emulator *emulator_ = nullptr;  // the process's emulated CPU, while this platform boots on it
  uint32_t boot_ = 0;
  std::vector<std::string> actors_;
  bool strict_ = false;
  std::vector<ImageRange> imageRanges_;
};

// Attributes what happens inside its scope to an actor.
class ActorScope {
 public:
  ActorScope(Platform &platform, std::string actor) : platform_(platform) { platform_.PushActor(std::move(actor)); }
  ~ActorScope() { platform_.PopActor(); }
  ActorScope(const ActorScope &) = delete;
  ActorScope &operator=(const ActorScope &) = delete;

 private:
  Platform &platform_;
};

}  // namespace sim
