#include "platform_sim/engine/emulator.h"

#include <link.h>
#include <sys/mman.h>
#include <unicorn/unicorn.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "platform_sim/engine/engine.h"
#include "platform_sim/loader/hardware_bridge.h"
#include "platform_sim/loader/pe_image.h"
#include "platform_sim/memory/arena.h"

namespace sim {

namespace {

constexpr uint64_t kInterruptEnable = 0x200;
constexpr uint64_t kReservedFlag = 0x2;
// Arguments a host routine may take: four in registers, the rest from the stack.
constexpr unsigned kHostArguments = 12;
// Room left below a suspended image's stack pointer before a nested call's frame.
constexpr uint64_t kNestedGap = 0x100;

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

void Check(uc_err error, const char *what) {
  if (error != UC_ERR_OK) throw std::runtime_error(std::string("emulator: ") + what + ": " + uc_strerror(error));
}

// The executable segment of the simulator program: where every host routine lives.
struct ProgramCode {
  uint64_t start = 0;
  uint64_t end = 0;
};

// FNV-1a over the image as laid out: tells a reload of the same bytes at the same place.
uint64_t Digest(const uint8_t *bytes, uint64_t size) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (uint64_t index = 0; index < size; ++index) hash = (hash ^ bytes[index]) * 0x100000001B3ull;
  return hash;
}

int FindProgramCode(struct dl_phdr_info *info, size_t, void *data) {
  auto *range = static_cast<ProgramCode *>(data);
  for (int index = 0; index < info->dlpi_phnum; ++index) {
    const ElfW(Phdr) &segment = info->dlpi_phdr[index];
    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0) {
      range->start = info->dlpi_addr + segment.p_vaddr;
      range->end = range->start + segment.p_memsz;
    }
  }
  return 1;  // the first object is the program itself
}

// A host routine called as the image called it. Every published routine is EFIAPI;
// surplus arguments are harmless under the Microsoft convention (the caller owns the
// stack), so one signature serves them all.
using HostRoutine = uint64_t(EFIAPI *)(uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t,
                                       uint64_t, uint64_t, uint64_t, uint64_t);

__attribute__((no_sanitize("function"))) uint64_t CallHost(uint64_t address, const uint64_t (&a)[kHostArguments]) {
  return reinterpret_cast<HostRoutine>(address)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10],
                                                a[11]);
}

// The protection of a host page, from the process's own map; nullopt when unmapped.
std::optional<uint32_t> HostPageProtection(uint64_t page) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::string range, permissions;
    fields >> range >> permissions;
    const size_t dash = range.find('-');
    const uint64_t start = std::stoull(range.substr(0, dash), nullptr, 16);
    const uint64_t end = std::stoull(range.substr(dash + 1), nullptr, 16);
    if (page < start || page >= end) continue;
    if (permissions.size() < 2 || permissions[0] != 'r') return std::nullopt;
    return permissions[1] == 'w' ? UC_PROT_READ | UC_PROT_WRITE : UC_PROT_READ;
  }
  return std::nullopt;
}

}  // namespace

// One call into an image: saves the suspended caller's registers when nested, and puts
// them back however the call ends.
class Emulator::Frame {
 public:
  explicit Frame(Emulator &emulator) : emulator_(emulator), level_(emulator.depth_++) {
    if (level_ == 0) {
      emulator_.blocksAtOutermostCall_ = emulator_.blocksRun_;
      emulator_.budgetSpent_ = false;
      return;
    }
    if (emulator_.saved_.size() < level_) {
      uc_context *context = nullptr;
      Check(uc_context_alloc(emulator_.uc_, &context), "context");
      emulator_.saved_.push_back(context);
    }
    Check(uc_context_save(emulator_.uc_, emulator_.saved_[level_ - 1]), "save context");
  }
  ~Frame() {
    --emulator_.depth_;
    if (level_ > 0) {
      uc_context_restore(emulator_.uc_, emulator_.saved_[level_ - 1]);
    } else {
      emulator_.UnmapHandedPages();
    }
  }
  Frame(const Frame &) = delete;
  Frame &operator=(const Frame &) = delete;

 private:
  Emulator &emulator_;
  unsigned level_;
};

Emulator &Emulator::Process() {
  static Emulator emulator;
  return emulator;
}

Emulator::Emulator() {
  Check(uc_open(UC_ARCH_X86, UC_MODE_64, &uc_), "open");
  Check(uc_mem_map_ptr(uc_, Arena::kBase, Arena::kSize, UC_PROT_ALL, reinterpret_cast<void *>(Arena::kBase)),
        "map the arena");
  // Device registers: memory whose every access is hooked. (Unicorn's own MMIO regions
  // split a 64-bit access into two 32-bit ones, which a device sees as two different
  // registers; a hook sees the access as the instruction made it.) A read is answered
  // by storing the device's value where the instruction is about to load from.
  // The backing memory is the engine's own, so that a read's value is stored directly
  // (a write through Unicorn would look for translated code to invalidate, every time).
  deviceWindow_ = static_cast<uint8_t *>(
      mmap(nullptr, kMmioSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
  if (deviceWindow_ == MAP_FAILED) throw std::runtime_error("emulator: cannot reserve the device window");
  Check(uc_mem_map_ptr(uc_, kMmioBase, kMmioSize, UC_PROT_READ | UC_PROT_WRITE, deviceWindow_), "map device registers");

  uc_hook hook;
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, reinterpret_cast<void *>(OnDeviceAccess), this,
                    kMmioBase, kMmioBase + kMmioSize - 1),
        "hook device registers");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_UNMAPPED, reinterpret_cast<void *>(OnUnmapped), this, 1, 0), "hook");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_PROT, reinterpret_cast<void *>(OnProtected), this, 1, 0),
        "hook protected memory");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_INSN, reinterpret_cast<void *>(OnIn), this, 1, 0, UC_X86_INS_IN), "hook IN");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_INSN, reinterpret_cast<void *>(OnOut), this, 1, 0, UC_X86_INS_OUT), "hook OUT");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_BLOCK, reinterpret_cast<void *>(OnBlock), this, 1, 0), "hook blocks");

  ProgramCode code;
  dl_iterate_phdr(FindProgramCode, &code);
  programCodeStart_ = code.start;
  programCodeEnd_ = code.end;
}

Emulator::~Emulator() {
  for (uc_context *context : saved_) uc_context_free(context);
  uc_close(uc_);
  munmap(deviceWindow_, kMmioSize);
}

void Emulator::StartBoot(Arena &arena) {
  arena_ = &arena;
  // What this boot's platform published is checked again.
  publishedRoutines_.clear();
  instructions_ = 0;
  blockBudget_ = kDefaultBlockBudget;
  // The stack of outermost calls, and the return address every call starts with: a
  // HLT that is never executed (the run stops when RIP reaches it).
  auto *sentinel = static_cast<uint8_t *>(arena.AllocateFirmwarePages(1, EfiBootServicesCode));
  std::memset(sentinel, 0xF4, Arena::kPageSize);
  sentinel_ = reinterpret_cast<uint64_t>(sentinel);
  auto *stack = static_cast<uint8_t *>(arena.AllocateFirmwarePages(kStackPages, EfiBootServicesData));
  stackTop_ = reinterpret_cast<uint64_t>(stack) + kStackPages * Arena::kPageSize - 0x40;
  auto *smmSentinel = static_cast<uint8_t *>(arena.AllocateFirmwarePages(1, EfiRuntimeServicesCode, Region::Smram));
  std::memset(smmSentinel, 0xF4, Arena::kPageSize);
  smmSentinel_ = reinterpret_cast<uint64_t>(smmSentinel);
  auto *smmStack =
      static_cast<uint8_t *>(arena.AllocateFirmwarePages(kStackPages, EfiRuntimeServicesData, Region::Smram));
  smmStackTop_ = reinterpret_cast<uint64_t>(smmStack) + kStackPages * Arena::kPageSize - 0x40;
  smmRoutines_.clear();
}

void Emulator::EndBoot() {
  if (boundary_) LeaveSmmBoundary();
  images_.clear();
  arena_ = nullptr;
}

void Emulator::AddImage(const std::string &name, uint64_t base, uint64_t size, const PeImage &file) {
  images_.push_back(Image{name, base, size});
  const auto *bytes = reinterpret_cast<const uint8_t *>(base);
  const uint64_t digest = Digest(bytes, size);
  for (auto range = codeRanges_.begin(); range != codeRanges_.end();) {
    if (range->base == base && range->size == size && range->digest == digest) return;  // translations still hold
    if (range->base < base + size && base < range->base + range->size) {
      for (size_t hook : range->hooks) uc_hook_del(uc_, hook);
      range = codeRanges_.erase(range);
    } else {
      ++range;
    }
  }
  // Memory reused for other bytes must not run stale translations.
  uc_ctl_remove_cache(uc_, base, base + size);
  CodeRange &range = codeRanges_.emplace_back(CodeRange{base, size, digest, {}});
  // The instructions the models see: PAUSE and RDTSC cost virtual time, CLI and STI
  // change the interrupt flag the devices look at. A hook at an address fires only
  // when an instruction starts there, so a matching byte inside another instruction
  // costs nothing.
  for (const PeSection &section : file.Sections()) {
    if (!section.Executable()) continue;
    const uint64_t start = section.virtualAddress;
    const uint64_t end = start + section.LoadedSize();
    for (uint64_t offset = start; offset < end; ++offset) {
      const uint8_t first = bytes[offset];
      const uint8_t second = offset + 1 < end ? bytes[offset + 1] : 0;
      const bool marked =
          first == 0xFA || first == 0xFB || (first == 0xF3 && second == 0x90) || (first == 0x0F && second == 0x31);
      if (!marked) continue;
      uc_hook hook;
      Check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void *>(OnMarkedInstruction), this, base + offset,
                        base + offset),
            "hook instruction");
      range.hooks.push_back(hook);
    }
  }
}

void Emulator::RemoveImage(uint64_t base) {
  for (auto image = images_.begin(); image != images_.end(); ++image) {
    if (image->base != base) continue;
    for (auto range = codeRanges_.begin(); range != codeRanges_.end(); ++range) {
      if (range->base != base) continue;
      for (size_t hook : range->hooks) uc_hook_del(uc_, hook);
      codeRanges_.erase(range);
      break;
    }
    std::memset(reinterpret_cast<void *>(base), 0xCC, image->size);
    uc_ctl_remove_cache(uc_, base, base + image->size);
    images_.erase(image);
    return;
  }
}

bool Emulator::Runs(uint64_t address) const { return Arena::kBase <= address && address < Arena::kBase + Arena::kSize; }

std::string Emulator::OwnerOf(uint64_t address) const { return ImageAt(address).first; }

uint64_t Emulator::Register(int id) const {
  uint64_t value = 0;
  uc_reg_read(uc_, id, &value);
  return value;
}

void Emulator::SetRegister(int id, uint64_t value) { uc_reg_write(uc_, id, &value); }

// The stack words of a call: guest memory that the host sees at the same address.
uint64_t Emulator::ReadWord(uint64_t address) const {
  uint64_t value = 0;
  if (arena_ != nullptr && arena_->InArena(address, sizeof(value))) {
    std::memcpy(&value, reinterpret_cast<const void *>(address), sizeof(value));
  } else {
    uc_mem_read(uc_, address, &value, sizeof(value));
  }
  return value;
}

void Emulator::WriteWord(uint64_t address, uint64_t value) {
  if (arena_ == nullptr || !arena_->InArena(address, sizeof(value))) {
    throw std::runtime_error("emulator: a call frame outside the arena");
  }
  std::memcpy(reinterpret_cast<void *>(address), &value, sizeof(value));
}

void Emulator::SyncInterruptFlagToGuest() {
  uint64_t flags = Register(UC_X86_REG_RFLAGS);
  flags = (flags & ~kInterruptEnable) | kReservedFlag | (HardwarePort()->ReadFlags() & kInterruptEnable);
  SetRegister(UC_X86_REG_RFLAGS, flags);
}

uint64_t Emulator::Call(uint64_t function, const std::vector<uint64_t> &arguments) {
  Frame frame(*this);
  handed_.insert(handed_.end(), arguments.begin(), arguments.end());
  // An SMI's calls run on SMRAM's own stack and return to SMRAM's own sentinel, even
  // when the SMI was raised from inside a call that runs outside SMRAM.
  const uint64_t callerStack = Register(UC_X86_REG_RSP);
  const bool smmStack = boundary_ && (depth_ == 1 || !arena_->InSmram(callerStack));
  const uint64_t sentinel = boundary_ ? smmSentinel_ : sentinel_;
  const uint64_t top = smmStack ? smmStackTop_ : depth_ == 1 ? stackTop_ : callerStack - kNestedGap;
  const uint64_t stackArguments = arguments.size() > 4 ? arguments.size() - 4 : 0;
  // Return address, the callee's 32-byte home area, then the fifth argument onwards;
  // RSP + 8 is 16-byte aligned at entry.
  uint64_t rsp = ((top - 0x20 - 8 * stackArguments) & ~0xFull) - 8;
  WriteWord(rsp, sentinel);
  for (uint64_t index = 0; index < stackArguments; ++index) WriteWord(rsp + 0x28 + 8 * index, arguments[4 + index]);
  const int registers[4] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9};
  for (size_t index = 0; index < 4; ++index)
    SetRegister(registers[index], index < arguments.size() ? arguments[index] : 0);
  SetRegister(UC_X86_REG_RSP, rsp);
  SyncInterruptFlagToGuest();

  uint64_t rip = function;
  for (;;) {
    fault_ = PendingFault{};
    const uc_err error = uc_emu_start(uc_, rip, sentinel, 0, 0);
    if (held_) {
      std::exception_ptr held = held_;
      held_ = nullptr;
      std::rethrow_exception(held);
    }
    rip = Register(UC_X86_REG_RIP);
    if (budgetSpent_) Fault("the instruction budget is spent (a runaway loop?)", rip, rip);
    if (error == UC_ERR_OK && rip == sentinel) break;
    if (error == UC_ERR_FETCH_UNMAPPED && IsPublishedRoutine(rip)) {
      if (boundary_ && !IsSmmRoutine(rip)) {
        Fault("SMM call-out: a call to " + Hex(rip) + ", which no SMRAM table publishes",
              ReadWord(Register(UC_X86_REG_RSP)), rip);
      }
      rip = RunHostRoutine(rip);
      continue;
    }
    if (fault_.set) Fault(fault_.access + " " + Hex(fault_.address), fault_.rip, fault_.address);
    Fault(std::string("stopped: ") + uc_strerror(error), rip, rip);
  }
  return Register(UC_X86_REG_RAX);
}

bool Emulator::IsPublishedRoutine(uint64_t address) {
  if (publishedRoutines_.count(address) != 0) return true;
  if (address < programCodeStart_ || address >= programCodeEnd_) return false;
  if (arena_ == nullptr || !arena_->PlatformHoldsWord(address)) return false;
  publishedRoutines_.insert(address);
  return true;
}

uint64_t Emulator::RunHostRoutine(uint64_t address) {
  const uint64_t rsp = Register(UC_X86_REG_RSP);
  uint64_t arguments[kHostArguments] = {Register(UC_X86_REG_RCX), Register(UC_X86_REG_RDX), Register(UC_X86_REG_R8),
                                        Register(UC_X86_REG_R9)};
  for (unsigned index = 4; index < kHostArguments; ++index) arguments[index] = ReadWord(rsp + 0x28 + 8 * (index - 4));
  const uint64_t result = CallHost(address, arguments);
  SetRegister(UC_X86_REG_RAX, result);
  SyncInterruptFlagToGuest();
  SetRegister(UC_X86_REG_RSP, rsp + 8);
  return ReadWord(rsp);  // back to the caller
}

std::pair<std::string, uint64_t> Emulator::ImageAt(uint64_t address) const {
  for (const Image &image : images_) {
    if (address >= image.base && address - image.base < image.size) return {image.name, address - image.base};
  }
  return {"", 0};
}

void Emulator::Fault(const std::string &what, uint64_t rip, uint64_t address) {
  const auto [image, offset] = ImageAt(rip);
  std::string where = image.empty() ? "outside every image" : image + "+" + Hex(offset);
  throw ImageFault("fault at RIP " + Hex(rip) + " (" + where + "): " + what, image.empty() ? "?" : image, rip, offset,
                   address);
}

bool Emulator::MapHandedPage(uint64_t address) {
  const uint64_t page = address & ~(Arena::kPageSize - 1);
  bool handed = false;
  for (uint64_t word : handed_) {
    const uint64_t start = word & ~(Arena::kPageSize - 1);
    handed = handed || (word != 0 && page >= start && page - start < kHandedWindow);
  }
  if (!handed) return false;
  const std::optional<uint32_t> protection = HostPageProtection(page);
  if (!protection) return false;
  if (uc_mem_map_ptr(uc_, page, Arena::kPageSize, *protection, reinterpret_cast<void *>(page)) != UC_ERR_OK) {
    return false;
  }
  hostPages_.push_back(page);
  return true;
}

void Emulator::UnmapHandedPages() {
  // The caller's memory may be freed or reused once the call is over.
  for (uint64_t page : hostPages_) uc_mem_unmap(uc_, page, Arena::kPageSize);
  hostPages_.clear();
  handed_.clear();
}

void Emulator::Hold(std::exception_ptr exception) {
  if (!held_) held_ = exception;
  uc_emu_stop(uc_);
}

bool Emulator::OnUnmapped(uc_engine *uc, int type, uint64_t address, int, int64_t, void *self) {
  auto *emulator = static_cast<Emulator *>(self);
  const char *access = type == UC_MEM_READ_UNMAPPED    ? "read"
                       : type == UC_MEM_WRITE_UNMAPPED ? "write"
                                                       : "instruction fetch";
  if (type != UC_MEM_FETCH_UNMAPPED && emulator->MapHandedPage(address)) return true;
  uint64_t rip = 0;
  uc_reg_read(uc, UC_X86_REG_RIP, &rip);
  emulator->fault_ = PendingFault{true, std::string(access) + " of unmapped address", address, rip};
  return false;
}

bool Emulator::OnProtected(uc_engine *uc, int type, uint64_t address, int, int64_t, void *self) {
  auto *emulator = static_cast<Emulator *>(self);
  uint64_t rip = 0;
  uc_reg_read(uc, UC_X86_REG_RIP, &rip);
  if (type == UC_MEM_FETCH_PROT) {
    emulator->fault_ = PendingFault{true, "SMM call-out: instruction fetch outside SMRAM at", address, rip};
    return false;
  }
  const auto [image, offset] = emulator->ImageAt(rip);
  try {
    if (emulator->onBoundaryAccess_) {
      emulator->onBoundaryAccess_(image.empty() ? "?" : image, offset, address, type == UC_MEM_WRITE_PROT);
    }
  } catch (...) {
    emulator->Hold(std::current_exception());
  }
  // One report per page and SMI: the page is the image's again until the SMI ends.
  const uint64_t page = address & ~(Arena::kPageSize - 1);
  uc_mem_protect(uc, page, Arena::kPageSize, UC_PROT_ALL);
  return true;
}

void Emulator::ProtectBelowSmram(uint32_t protection) {
  Check(uc_mem_protect(uc_, Arena::kBase, arena_->SmramBase() - Arena::kBase, protection), "protect below SMRAM");
}

void Emulator::EnterSmmBoundary(BoundaryAccess onAccess) {
  if (arena_ == nullptr) return;
  onBoundaryAccess_ = std::move(onAccess);
  boundary_ = true;
  ProtectBelowSmram(UC_PROT_NONE);
}

void Emulator::LeaveSmmBoundary() {
  if (!boundary_) return;
  boundary_ = false;
  onBoundaryAccess_ = nullptr;
  ProtectBelowSmram(UC_PROT_ALL);
}

bool Emulator::IsSmmRoutine(uint64_t address) {
  if (smmRoutines_.count(address) != 0) return true;
  if (arena_ == nullptr || !arena_->PlatformHoldsWord(address, Region::Smram)) return false;
  smmRoutines_.insert(address);
  return true;
}

uint32_t Emulator::OnIn(uc_engine *, uint32_t port, int size, void *self) {
  auto *emulator = static_cast<Emulator *>(self);
  try {
    return static_cast<uint32_t>(HardwarePort()->IoRead(static_cast<UINT16>(port), static_cast<UINT8>(size)));
  } catch (...) {
    emulator->Hold(std::current_exception());
    return 0xFFFFFFFF;
  }
}

void Emulator::OnOut(uc_engine *, uint32_t port, int size, uint32_t value, void *self) {
  auto *emulator = static_cast<Emulator *>(self);
  try {
    HardwarePort()->IoWrite(static_cast<UINT16>(port), static_cast<UINT8>(size), value);
  } catch (...) {
    emulator->Hold(std::current_exception());
  }
}

void Emulator::OnDeviceAccess(uc_engine *, int type, uint64_t address, int size, int64_t value, void *self) {
  auto *emulator = static_cast<Emulator *>(self);
  try {
    if (type == UC_MEM_WRITE) {
      HardwarePort()->MmioWrite(address, static_cast<UINT8>(size), static_cast<uint64_t>(value));
      return;
    }
    const uint64_t read = HardwarePort()->MmioRead(address, static_cast<UINT8>(size));
    std::memcpy(emulator->deviceWindow_ + (address - kMmioBase), &read, static_cast<size_t>(size));
  } catch (...) {
    emulator->Hold(std::current_exception());
  }
}

void Emulator::OnMarkedInstruction(uc_engine *uc, uint64_t address, uint32_t size, void *self) {
  auto *emulator = static_cast<Emulator *>(self);
  const auto *bytes = reinterpret_cast<const uint8_t *>(address);
  try {
    if (size == 1 && bytes[0] == 0xFA) {
      HardwarePort()->SetInterruptFlag(FALSE);
    } else if (size == 1 && bytes[0] == 0xFB) {
      HardwarePort()->SetInterruptFlag(TRUE);
    } else if (size == 2 && bytes[0] == 0xF3 && bytes[1] == 0x90) {
      HardwarePort()->Pause();
    } else if (size == 2 && bytes[0] == 0x0F && bytes[1] == 0x31) {
      // The virtual TSC instead of the host's: set EDX:EAX and step over the instruction.
      const uint64_t tsc = HardwarePort()->ReadTsc();
      emulator->SetRegister(UC_X86_REG_RAX, tsc & 0xFFFFFFFF);
      emulator->SetRegister(UC_X86_REG_RDX, tsc >> 32);
      emulator->SetRegister(UC_X86_REG_RIP, address + 2);
    }
  } catch (...) {
    emulator->Hold(std::current_exception());
  }
  (void)uc;
}

void Emulator::CountInstructions(bool on) {
  if (on == counting_) return;
  if (on) {
    uc_hook hook;
    Check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void *>(OnCountedInstruction), this, Arena::kBase,
                      Arena::kBase + Arena::kSize - 1),
          "hook every instruction");
    countHook_ = hook;
  } else {
    uc_hook_del(uc_, countHook_);
  }
  // Translations made before the change carry the old hooks.
  uc_ctl_remove_cache(uc_, Arena::kBase, Arena::kBase + Arena::kSize);
  counting_ = on;
}

void Emulator::OnCountedInstruction(uc_engine *, uint64_t, uint32_t, void *self) {
  ++static_cast<Emulator *>(self)->instructions_;
}

void Emulator::OnBlock(uc_engine *uc, uint64_t, uint32_t, void *self) {
  auto *emulator = static_cast<Emulator *>(self);
  if (++emulator->blocksRun_ - emulator->blocksAtOutermostCall_ > emulator->blockBudget_) {
    emulator->budgetSpent_ = true;
    uc_emu_stop(uc);
  }
}

}  // namespace sim
