#include "platform_sim/smm/host_smram_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>

#include <cstring>
#include <stdexcept>

namespace sim {
namespace {

constexpr uint64_t kPage = 0x1000;
constexpr size_t kMaxCodeRanges = 64;
constexpr size_t kMaxAccesses = 256;
constexpr uint64_t kPageFaultWrite = 0x2;  // the page-fault error code's write bit

// The signal handler reads and writes only these: no allocation, no locks.
struct GuardState {
  volatile bool active = false;
  uint64_t start = 0;
  uint64_t end = 0;
  HostCodeRange code[kMaxCodeRanges];
  size_t codeCount = 0;
  HostGuardedAccess accesses[kMaxAccesses];
  volatile size_t accessCount = 0;
};
GuardState gGuard;
struct sigaction gPrevious;
bool gInstalled = false;

bool InImageCode(uint64_t rip) {
  for (size_t index = 0; index < gGuard.codeCount; ++index) {
    if (rip >= gGuard.code[index].start && rip < gGuard.code[index].end) return true;
  }
  return false;
}

void OnSegv(int signal, siginfo_t *info, void *context) {
  const auto address = reinterpret_cast<uint64_t>(info->si_addr);
  if (gGuard.active && address >= gGuard.start && address < gGuard.end) {
    const uint64_t page = address & ~(kPage - 1);
    mprotect(reinterpret_cast<void *>(page), kPage, PROT_READ | PROT_WRITE);
    const auto *machine = &static_cast<ucontext_t *>(context)->uc_mcontext;
    const auto rip = static_cast<uint64_t>(machine->gregs[REG_RIP]);
    const bool write = (static_cast<uint64_t>(machine->gregs[REG_ERR]) & kPageFaultWrite) != 0;
    if (InImageCode(rip) && gGuard.accessCount < kMaxAccesses) {
      gGuard.accesses[gGuard.accessCount] = HostGuardedAccess{address, rip, write};
      gGuard.accessCount = gGuard.accessCount + 1;
    }
    return;  // the instruction runs again, on an accessible page
  }
  // Not ours: whoever handled it before (the sanitizer's report, or the default).
  if ((gPrevious.sa_flags & SA_SIGINFO) != 0 && gPrevious.sa_sigaction != nullptr) {
    gPrevious.sa_sigaction(signal, info, context);
    return;
  }
  if (gPrevious.sa_handler != SIG_IGN && gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != nullptr) {
    gPrevious.sa_handler(signal);
    return;
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(SIGSEGV, &fallback, nullptr);
}

void Install() {
  if (gInstalled) return;
  struct sigaction action {};
  action.sa_sigaction = OnSegv;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGSEGV, &action, &gPrevious) != 0) throw std::runtime_error("cannot install the SMRAM guard");
  gInstalled = true;
}

}  // namespace

void GuardHostRange(uint64_t start, uint64_t end, const std::vector<HostCodeRange> &imageCode) {
  Install();
  gGuard.codeCount = 0;
  for (const HostCodeRange &range : imageCode) {
    if (gGuard.codeCount < kMaxCodeRanges) gGuard.code[gGuard.codeCount++] = range;
  }
  gGuard.accessCount = 0;
  gGuard.start = start;
  gGuard.end = end;
  gGuard.active = true;
  if (mprotect(reinterpret_cast<void *>(start), end - start, PROT_NONE) != 0) {
    gGuard.active = false;
    throw std::runtime_error("cannot guard the memory below SMRAM");
  }
}

std::vector<HostGuardedAccess> ReleaseHostRange() {
  if (!gGuard.active) return {};
  mprotect(reinterpret_cast<void *>(gGuard.start), gGuard.end - gGuard.start, PROT_READ | PROT_WRITE);
  gGuard.active = false;
  return std::vector<HostGuardedAccess>(gGuard.accesses, gGuard.accesses + gGuard.accessCount);
}

}  // namespace sim
