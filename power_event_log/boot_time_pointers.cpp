// After the entry, PowerEventLogSmm runs only in SMIs, while the operating system owns
// every byte of boot-time memory. A pointer kept into it is a call-out waiting to
// happen, so the entry clears them once it no longer needs them.
#include "power_event_log/power_event_log.h"
#include "runtime/base/pcd_protocols.h"
#include "runtime/base/services.h"
#include "runtime/shared_state/shared_state.h"

VOID ForgetBootTimePointers(VOID) {
  gST = nullptr;
  gBS = nullptr;  // also what the pool's free falls back to outside SMRAM
  gRT = nullptr;
  gDS = nullptr;
  gHobList = nullptr;
  gPcd = nullptr;
  gPiPcd = nullptr;
  gPcdInfo = nullptr;
  gPiPcdInfo = nullptr;
}
