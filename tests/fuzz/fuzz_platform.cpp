#include "tests/fuzz/fuzz_platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/uefi/guids.h"
#include "runtime/uefi/pcd.h"
#include "runtime/uefi/status.h"

namespace fuzz {
namespace {

// The platform hands out every PCD pointer value as a fresh copy in simulated memory,
// kept for the whole boot. The harness frees them after each input.
EFI_PCD_PROTOCOL_GET_POINTER gRealGetPtr = nullptr;
std::vector<void *> gPcdCopies;

VOID *EFIAPI TrackedGetPtr(CONST EFI_GUID *space, UINTN token) {
  VOID *copy = gRealGetPtr(space, token);
  if (copy != nullptr) gPcdCopies.push_back(copy);
  return copy;
}

}  // namespace

ProbePlatform &ProbePlatform::Get() {
  static ProbePlatform instance;
  return instance;
}

ProbePlatform::ProbePlatform() {
  sim::PlatformProfile profile;
  sim::UseSpiFlash(profile);
  platform_ = std::make_unique<sim::Platform>(profile);
  auto &image = platform_->Load("TagStoreProbeFuzz");
  void *interface = nullptr;
  platform_->Core().Protocols().Locate(gTagStoreProbeProtocolGuid, nullptr, &interface);
  if (image.entryStatus != EFI_SUCCESS || interface == nullptr) {
    std::fprintf(stderr, "the fuzzing probe image did not start\n");
    std::abort();
  }
  probe_ = static_cast<TAG_STORE_PROBE *>(interface);
  void *pcd = nullptr;
  platform_->Core().Protocols().Locate(gEfiPcdProtocolGuid, nullptr, &pcd);
  if (pcd != nullptr) {
    auto *protocol = static_cast<EFI_PCD_PROTOCOL *>(pcd);
    gRealGetPtr = protocol->GetPtr;
    protocol->GetPtr = TrackedGetPtr;
  }
}

void ProbePlatform::Tidy() {
  platform_->Trace().Clear();
  platform_->TraceHubWindow().ForgetFinished();
  platform_->Core().CallLog().clear();
  for (void *copy : gPcdCopies) platform_->Memory().FreePool(copy);
  gPcdCopies.clear();
}

}  // namespace fuzz
