// The trace hub's channel window: where a channel lives, and the writes into it. Every
// write checks the hub again, because firmware may disable it between two writes.
#include "runtime/base/cpu.h"
#include "runtime/base/pci_express.h"
#include "runtime/trace/trace_hub_internal.h"
#include "runtime/uefi/status.h"

EFI_STATUS TraceHubChannelAddress(UINT32 Master, UINT32 Channel, UINT64 *Address) {
  UINT64 Pmc = PciExpressAddress(PMC_PCI_BUS, PMC_PCI_DEVICE, PMC_PCI_FUNCTION);
  if (MmioRead16(Pmc) == 0xFFFF) {
    return EFI_UNSUPPORTED;
  }
  UINT64 PwrmBase = MmioRead32(Pmc + PMC_PWRM_BASE_REGISTER) & PMC_PWRM_BASE_MASK;
  if ((MmioRead32(PwrmBase + PMC_TRACE_HUB_CONTROL) & PMC_TRACE_HUB_DISABLED) != 0 ||
      MmioRead32(TRACE_HUB_WINDOW_BASE) == 0xFFFFFFFFu) {
    return EFI_DEVICE_ERROR;
  }
  if (Master < TRACE_HUB_FIRST_MASTER) {
    return EFI_INVALID_PARAMETER;
  }
  // The window is decoded in 32 bits.
  *Address =
      (UINT32)(TRACE_HUB_WINDOW_BASE +
               ((Master - TRACE_HUB_FIRST_MASTER) * TRACE_HUB_CHANNELS_PER_MASTER + Channel) * TRACE_HUB_CHANNEL_SIZE);
  return EFI_SUCCESS;
}

// A write whose channel cannot be reached is dropped.
static BOOLEAN ChannelRegister(CONST TRACE_HUB_HANDLE *Handle, UINT32 Offset, UINT64 *Address) {
  if (EFI_ERROR(TraceHubChannelAddress(Handle->Master, Handle->Channel, Address))) {
    return FALSE;
  }
  *Address += Offset;
  return TRUE;
}

static VOID EFIAPI WriteTimestamped32(CONST TRACE_HUB_HANDLE *Handle, UINT64 Value) {
  UINT64 Address;
  if (ChannelRegister(Handle, TRACE_HUB_CHANNEL_DATA_TIMESTAMPED, &Address)) MmioWrite32(Address, (UINT32)Value);
}

static VOID EFIAPI Write8(CONST TRACE_HUB_HANDLE *Handle, UINT64 Value) {
  UINT64 Address;
  if (ChannelRegister(Handle, TRACE_HUB_CHANNEL_DATA, &Address)) MmioWrite8(Address, (UINT8)Value);
}

static VOID EFIAPI Write16(CONST TRACE_HUB_HANDLE *Handle, UINT64 Value) {
  UINT64 Address;
  if (ChannelRegister(Handle, TRACE_HUB_CHANNEL_DATA, &Address)) MmioWrite16(Address, (UINT16)Value);
}

static VOID EFIAPI Write32(CONST TRACE_HUB_HANDLE *Handle, UINT64 Value) {
  UINT64 Address;
  if (ChannelRegister(Handle, TRACE_HUB_CHANNEL_DATA, &Address)) MmioWrite32(Address, (UINT32)Value);
}

static VOID EFIAPI Write64(CONST TRACE_HUB_HANDLE *Handle, UINT64 Value) {
  UINT64 Address;
  if (ChannelRegister(Handle, TRACE_HUB_CHANNEL_DATA, &Address)) MmioWrite64(Address, Value);
}

// The end-of-message flag carries no data: the value is always 0.
static VOID EFIAPI WriteFlag(CONST TRACE_HUB_HANDLE *Handle, UINT64 Value) {
  (void)Value;
  UINT64 Address;
  if (ChannelRegister(Handle, TRACE_HUB_CHANNEL_FLAG, &Address)) MmioWrite32(Address, 0);
}

static VOID EFIAPI DropWrite(CONST TRACE_HUB_HANDLE *Handle, UINT64 Value) {
  (void)Handle;
  (void)Value;
}

const TRACE_HUB_CHANNEL_OPERATIONS gTraceHubChannelOperations = {
    WriteTimestamped32, Write8, Write16, Write32, Write64, WriteFlag,
};

const TRACE_HUB_CHANNEL_OPERATIONS gTraceHubNullOperations = {
    DropWrite, DropWrite, DropWrite, DropWrite, DropWrite, DropWrite,
};
