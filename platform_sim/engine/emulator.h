// The emulated CPU: runs the shipped PE32+ images on Unicorn, wired to the same platform
// models as host images.
//
// One address space: the arena is mapped into the emulator at its own address, so a
// pointer means the same on both sides. Calls out of an image need no glue: every
// routine the platform publishes (service tables, protocol members) is a host function
// whose address lies outside the emulator's memory, so a call to it stops the emulator
// with a fetch from unmapped memory; the engine then checks that the platform handed
// that address out, calls the routine with the Microsoft x64 arguments (four registers,
// then the stack), sets RAX and returns to the caller. The host routine runs outside
// uc_emu_start, so a reset it throws unwinds normally, and a call back into an image
// from it is simply a nested Call. Port I/O, MMIO, RDTSC, PAUSE, CLI and STI reach the
// models through hooks; an exception a model throws inside a hook is held, the emulator
// stopped, and the exception rethrown once uc_emu_start has returned.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

typedef struct uc_struct uc_engine;
struct uc_context;

namespace sim {

class Arena;
class PeImage;

class Emulator {
 public:
  // Device registers live in the top 512 MiB below 4 GiB (PCI Express configuration
  // space, the chipset's registers, the boot flash); every access there reaches the
  // address map, claimed or not.
  static constexpr uint64_t kMmioBase = 0xE0000000;
  static constexpr uint64_t kMmioSize = 0x20000000;
  static constexpr uint64_t kStackPages = 64;
  // Translated blocks one outermost call may run before it counts as a runaway image.
  static constexpr uint64_t kDefaultBlockBudget = 2'000'000'000;
  // How far past a handed pointer the image may reach into the caller's memory.
  static constexpr uint64_t kHandedWindow = 0x100000;

  // The process's emulated CPU. Platforms exist one at a time, each boot of each takes
  // it in turn and attaches its own memory (always at the same fixed address). What it
  // translated stays valid for an image laid out again at the same address with the
  // same bytes, so a reboot, or the next platform of a test run, does not translate the
  // shipped code again: translating is most of what emulation costs.
  static Emulator &Process();
  ~Emulator();
  Emulator(const Emulator &) = delete;
  Emulator &operator=(const Emulator &) = delete;

  // A boot starts: the arena is mapped at its fixed address already; the emulator takes
  // its stack and return sentinel from it. EndBoot forgets the boot's images.
  void StartBoot(Arena &arena);
  void EndBoot();

  // An image laid out in the arena: its code is searched for the instructions the
  // models must see, and faults inside it are reported against its name.
  void AddImage(const std::string &name, uint64_t base, uint64_t size, const PeImage &file);
  // An image firmware unloads: its translations and hooks go, and its memory is filled
  // with breakpoints, so that a later call into it traps as it would in freed memory.
  void RemoveImage(uint64_t base);
  std::string OwnerOf(uint64_t address) const;
  // Whether a call to this address runs on the emulated CPU: every address in the arena
  // (images, and the memory an unloaded image left), never a host routine.
  bool Runs(uint64_t address) const;

  // Runs the image function at `function` with these arguments until it returns, and
  // gives its RAX. Nests: a host routine called from the image may call in again.
  // An argument that points at host memory (a caller's buffer) is honoured: the pages
  // the image touches near it are mapped at their own address for the duration of the
  // outermost call.
  // Throws ImageFault for a fault in the image; rethrows what a model or a host
  // routine threw (a reset, a power cut).
  uint64_t Call(uint64_t function, const std::vector<uint64_t> &arguments);

  // Counting the instructions the images execute (host routines they call excluded),
  // for measurements: every instruction then costs a hook, so it is off by default.
  void CountInstructions(bool on);
  uint64_t InstructionsCounted() const { return instructions_; }

  void SetBlockBudget(uint64_t blocks) { blockBudget_ = blocks; }

  // The SMM boundary of an SMI in progress: every arena byte below SMRAM is taken from
  // the images, and the calls made meanwhile run on a stack in SMRAM. A data access
  // there is reported to `onAccess` (image, offset of RIP in it, address, write) and the
  // page given back for the rest of the SMI; an instruction fetch there, or a call to a
  // host routine that no SMRAM table publishes, is a fault (an SMM call-out).
  using BoundaryAccess = std::function<void(const std::string &image, uint64_t offset, uint64_t address, bool write)>;
  void EnterSmmBoundary(BoundaryAccess onAccess);
  void LeaveSmmBoundary();
  // The SMI stack's pages in SMRAM: scratch that every SMI overwrites.
  uint64_t SmmStackBase() const { return smmStackTop_ + 0x40 - kStackPages * 0x1000; }
  static constexpr uint64_t SmmStackSize() { return kStackPages * 0x1000; }

 private:
  struct Image {
    std::string name;
    uint64_t base;
    uint64_t size;
  };
  // The instruction hooks of code laid out at one place, kept across boots while the
  // same bytes come back there.
  struct CodeRange {
    uint64_t base;
    uint64_t size;
    uint64_t digest;
    std::vector<size_t> hooks;
  };
  struct PendingFault {
    bool set = false;
    std::string access;
    uint64_t address = 0;
    uint64_t rip = 0;
  };
  class Frame;

  Emulator();

  uint64_t Register(int id) const;
  void SetRegister(int id, uint64_t value);
  uint64_t ReadWord(uint64_t address) const;
  void WriteWord(uint64_t address, uint64_t value);
  bool IsPublishedRoutine(uint64_t address);
  bool IsSmmRoutine(uint64_t address);
  void ProtectBelowSmram(uint32_t protection);
  uint64_t RunHostRoutine(uint64_t address);
  void SyncInterruptFlagToGuest();
  // The image whose code holds this address ("" when none) and the offset in it.
  std::pair<std::string, uint64_t> ImageAt(uint64_t address) const;
  [[noreturn]] void Fault(const std::string &what, uint64_t rip, uint64_t address);
  void Hold(std::exception_ptr exception);
  bool MapHandedPage(uint64_t address);
  void UnmapHandedPages();

  static bool OnProtected(uc_engine *uc, int type, uint64_t address, int size, int64_t value, void *self);
  static bool OnUnmapped(uc_engine *uc, int type, uint64_t address, int size, int64_t value, void *self);
  static uint32_t OnIn(uc_engine *uc, uint32_t port, int size, void *self);
  static void OnOut(uc_engine *uc, uint32_t port, int size, uint32_t value, void *self);
  static void OnDeviceAccess(uc_engine *uc, int type, uint64_t address, int size, int64_t value, void *self);
  static void OnMarkedInstruction(uc_engine *uc, uint64_t address, uint32_t size, void *self);
  static void OnBlock(uc_engine *uc, uint64_t address, uint32_t size, void *self);
  static void OnCountedInstruction(uc_engine *uc, uint64_t address, uint32_t size, void *self);

  Arena *arena_ = nullptr;
  uint8_t *deviceWindow_ = nullptr;  // backs the device registers' addresses
  uc_engine *uc_ = nullptr;
  uint64_t stackTop_ = 0;
  uint64_t sentinel_ = 0;
  // The same two in SMRAM, for the calls of an SMI.
  uint64_t smmStackTop_ = 0;
  uint64_t smmSentinel_ = 0;
  bool boundary_ = false;
  BoundaryAccess onBoundaryAccess_;
  std::set<uint64_t> smmRoutines_;  // host routines an SMRAM table publishes
  std::vector<Image> images_;
  std::vector<CodeRange> codeRanges_;
  std::vector<uc_context *> saved_;  // one per nesting level
  unsigned depth_ = 0;
  std::exception_ptr held_;
  PendingFault fault_;
  std::set<uint64_t> publishedRoutines_;
  std::vector<uint64_t> handed_;     // argument words of the calls in progress
  std::vector<uint64_t> hostPages_;  // host pages mapped for them
  uint64_t programCodeStart_ = 0;
  uint64_t programCodeEnd_ = 0;
  uint64_t blockBudget_ = kDefaultBlockBudget;
  uint64_t blocksRun_ = 0;
  uint64_t blocksAtOutermostCall_ = 0;
  bool budgetSpent_ = false;
  size_t countHook_ = 0;
  bool counting_ = false;
  uint64_t instructions_ = 0;
};

}  // namespace sim
