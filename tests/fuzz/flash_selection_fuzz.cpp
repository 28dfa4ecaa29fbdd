// Flash device selection on arbitrary candidate tables and SFDP spaces: the PCD token
// spaces hold up to eight candidates of any size and content, token 433 any value, and
// the SPI part answers with the input's JEDEC ID and SFDP bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "runtime/uefi/guids.h"
#include "tests/fuzz/fuzz_platform.h"

namespace {

std::vector<uint8_t> Bytes(FuzzedDataProvider &input, size_t most) {
  return input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, most));
}

// The table comes from the platform build: the command addresses of a parallel part
// point into its flash window. The harness keeps them there, so that identification
// cycles reach the flash rather than arbitrary memory.
void KeepCommandAddressesInTheWindow(const std::vector<uint8_t> &descriptor, std::vector<uint8_t> &command) {
  if (descriptor.empty() || descriptor[0] > 2) return;
  for (size_t field = 4; field + 8 <= command.size() && field <= 20; field += 8) {
    command[field + 3] = 0xFF;
    for (size_t index = 4; index < 8; ++index) command[field + index] = 0;
  }
}

[[noreturn]] void Fail(const char *what, uint64_t value) {
  std::fprintf(stderr, "flash selection invariant broken: %s (0x%llX)\n", what, static_cast<unsigned long long>(value));
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::ProbePlatform::Get();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::ProbePlatform &harness = fuzz::ProbePlatform::Get();
  sim::Platform &platform = harness.Platform();
  FuzzedDataProvider input(data, size);

  sim::PcdDatabase pcds;
  std::set<UINTN> tokens;
  size_t count = input.ConsumeIntegralInRange<size_t>(0, 8);
  for (size_t index = 0; index < count; ++index) {
    UINTN token = input.ConsumeBool() ? sim::kGenericSpiToken : input.ConsumeIntegralInRange<UINTN>(1, 0xFFFF);
    // A PCD database holds each token once: a repeated one is not a table the build makes.
    if (!tokens.insert(token).second) continue;
    std::vector<uint8_t> descriptor = Bytes(input, 24);
    std::vector<uint8_t> command = Bytes(input, 72);
    KeepCommandAddressesInTheWindow(descriptor, command);
    pcds.Define(gFlashDescriptorTokenSpaceGuid, token, descriptor);
    if (input.ConsumeBool()) pcds.Define(gFlashCommandTokenSpaceGuid, token, command);
    pcds.Define(gFlashFirstNameTokenSpaceGuid, token, Bytes(input, 40));
    pcds.Define(gFlashSecondNameTokenSpaceGuid, token, Bytes(input, 40));
  }
  uint32_t chosen = 0;
  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 1:
      if (!tokens.empty()) chosen = static_cast<uint32_t>(*tokens.begin());
      break;
    case 2: chosen = input.ConsumeIntegral<uint32_t>(); break;
    default: break;
  }
  std::vector<uint8_t> chosenBytes(4);
  std::memcpy(chosenBytes.data(), &chosen, 4);
  pcds.Define(sim::kChosenFlashToken, chosenBytes, true);
  std::vector<uint8_t> jedecId = input.ConsumeBytes<uint8_t>(4);
  std::vector<uint8_t> sfdp = input.ConsumeRemainingBytes<uint8_t>();
  if (sfdp.size() > 1024) sfdp.resize(1024);

  platform.Pcds() = std::move(pcds);
  platform.Flash().Spi()->Component(0).SetIdentity(jedecId, sfdp);

  harness.Probe().DeviceDetect();

  uint64_t stored = platform.Pcds().Number(platform.Pcds().Find(sim::kChosenFlashToken));
  if (stored != sim::kGenericSpiToken && tokens.count(stored) == 0) Fail("token 433 names no candidate", stored);
  FlashDeviceContext *context = harness.Probe().CurrentContext();
  if (context != nullptr && (context->Reserved != 0xFFFF || context->Parameters == nullptr))
    Fail("current context not filled", context->Reserved);
  harness.Tidy();
  return 0;
}
