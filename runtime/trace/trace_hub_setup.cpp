// The trace-hub writer of this image, set up on its first message and kept for good.
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"
#include "runtime/trace/trace_hub_internal.h"
#include "runtime/uefi/status.h"

// Bits 16 to 23 all set: every message names its origin by GUID.
#define TRACE_HUB_TAG_TEMPLATE 0x00FF0000u

static constexpr EFI_GUID mTraceHubOrigin = {
    0x8F7E1A3A, 0x9657, 0x44F0, {0xB9, 0xE6, 0x4E, 0xF7, 0x4B, 0x22, 0xD5, 0x43}};

// The writer is set up once, on the first message, and stays as that left it.
typedef enum {
  TRACE_HUB_WRITER_NOT_SET_UP = 0,
  TRACE_HUB_WRITER_READY,        // mTraceHubHandle holds the handle
  TRACE_HUB_WRITER_UNAVAILABLE,  // the handle could not be allocated: every message is dropped
} TRACE_HUB_WRITER_STATE;

static TRACE_HUB_WRITER_STATE mTraceHubWriter;
static TRACE_HUB_HANDLE *mTraceHubHandle;

TRACE_HUB_HANDLE *TraceHubHandle(VOID) {
  if (mTraceHubWriter == TRACE_HUB_WRITER_READY) {
    return mTraceHubHandle;
  }
  if (mTraceHubWriter == TRACE_HUB_WRITER_UNAVAILABLE) {
    return nullptr;
  }
  mTraceHubWriter = TRACE_HUB_WRITER_UNAVAILABLE;

  // A hub that is not there at set-up stays silent for the life of the image.
  const TRACE_HUB_CHANNEL_OPERATIONS *Operations = &gTraceHubChannelOperations;
  UINT64 ProbeAddress;
  if (EFI_ERROR(TraceHubChannelAddress(TRACE_HUB_PROBE_MASTER, TRACE_HUB_PROBE_CHANNEL, &ProbeAddress))) {
    Operations = &gTraceHubNullOperations;
  }

  // Runtime pool: the SMM driver gets SMRAM, a DXE driver memory that outlives boot.
  TRACE_HUB_HANDLE *Handle = (TRACE_HUB_HANDLE *)AllocateRuntimeZeroPool(TRACE_HUB_HANDLE_SIZE);
  if (Handle == nullptr) {
    return nullptr;
  }
  CopyMem(&Handle->Operations, Operations, sizeof(*Operations));
  Handle->TagTemplate = TRACE_HUB_TAG_TEMPLATE;
  CopyGuid(&Handle->Origin, &mTraceHubOrigin);
  Handle->Master = TRACE_HUB_MASTER;
  Handle->Channel = TRACE_HUB_CHANNEL;
  mTraceHubHandle = Handle;
  mTraceHubWriter = TRACE_HUB_WRITER_READY;
  return Handle;
}
