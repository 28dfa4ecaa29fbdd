// The trace-hub writer's private pieces: channel operations, the handle, the channel
// address rule. Used only by the trace sources of one image.
#pragma once

#include "runtime/uefi/types.h"

#define TRACE_HUB_WINDOW_BASE 0xFE200000u
#define TRACE_HUB_FIRST_MASTER 32u
#define TRACE_HUB_CHANNELS_PER_MASTER 128u
#define TRACE_HUB_CHANNEL_SIZE 64u

// Register offsets within one channel.
#define TRACE_HUB_CHANNEL_DATA 0x00u
#define TRACE_HUB_CHANNEL_DATA_TIMESTAMPED 0x10u
#define TRACE_HUB_CHANNEL_FLAG 0x30u

// The power management controller, whose MMIO space carries the trace-hub disable bit.
#define PMC_PCI_BUS 0
#define PMC_PCI_DEVICE 31
#define PMC_PCI_FUNCTION 2
#define PMC_PWRM_BASE_REGISTER 0x48u
#define PMC_PWRM_BASE_MASK 0xFFFF0000u
#define PMC_TRACE_HUB_CONTROL 0x5D0u
#define PMC_TRACE_HUB_DISABLED 0x1u

// Where this system's messages go, and the channel probed at set-up.
#define TRACE_HUB_MASTER 32u
#define TRACE_HUB_CHANNEL 14u
#define TRACE_HUB_PROBE_MASTER 255u
#define TRACE_HUB_PROBE_CHANNEL 255u

typedef struct TRACE_HUB_HANDLE TRACE_HUB_HANDLE;

// One channel write of the given kind; the value is truncated to the access width.
typedef VOID(EFIAPI *TRACE_HUB_CHANNEL_WRITE)(CONST TRACE_HUB_HANDLE *Handle, UINT64 Value);

typedef struct {
  TRACE_HUB_CHANNEL_WRITE WriteTimestamped32;
  TRACE_HUB_CHANNEL_WRITE Write8;
  TRACE_HUB_CHANNEL_WRITE Write16;
  TRACE_HUB_CHANNEL_WRITE Write32;
  TRACE_HUB_CHANNEL_WRITE Write64;
  TRACE_HUB_CHANNEL_WRITE WriteFlag;
} TRACE_HUB_CHANNEL_OPERATIONS;

// The writer's handle lives in a fixed 112-byte pool block; this record fills its
// front and the rest stays zero.
#define TRACE_HUB_HANDLE_SIZE 112u

struct TRACE_HUB_HANDLE {
  TRACE_HUB_CHANNEL_OPERATIONS Operations;
  UINT32 TagTemplate;
  EFI_GUID Origin;
  UINT32 Master;
  UINT32 Channel;
};
static_assert(sizeof(TRACE_HUB_HANDLE) <= TRACE_HUB_HANDLE_SIZE, "trace-hub handle outgrows its block");

// Operations that write to the channel window, and operations that drop every write.
extern const TRACE_HUB_CHANNEL_OPERATIONS gTraceHubChannelOperations;
extern const TRACE_HUB_CHANNEL_OPERATIONS gTraceHubNullOperations;

// Checks that the trace hub is there and enabled, then gives the channel's window
// address: EFI_UNSUPPORTED without the power management controller, EFI_DEVICE_ERROR
// when the hub is disabled or its window does not answer, EFI_INVALID_PARAMETER for a
// master below the first software master. Reads the hardware on every call.
EFI_STATUS TraceHubChannelAddress(UINT32 Master, UINT32 Channel, UINT64 *Address);

// The handle of this image, set up on the first call; null when it could not be
// allocated (every message is then dropped).
TRACE_HUB_HANDLE *TraceHubHandle(VOID);
