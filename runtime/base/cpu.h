// The hardware facade: every port access, interrupt-flag change, TSC read and access
// to a fixed physical address goes through these routines. Firmware images get the
// x64 backend (instructions); host images get the platform model's backend.
#pragma once

#include "runtime/uefi/types.h"

#define CPU_FLAGS_INTERRUPT_ENABLE 0x200u

// Port I/O. Each write returns the value written.
UINT8 IoRead8(UINT16 Port);
UINT16 IoRead16(UINT16 Port);
UINT32 IoRead32(UINT16 Port);
UINT8 IoWrite8(UINT16 Port, UINT8 Value);
UINT16 IoWrite16(UINT16 Port, UINT16 Value);
UINT32 IoWrite32(UINT16 Port, UINT32 Value);

// Memory-mapped I/O. Each call is exactly one access of its width: never merged,
// split or reordered with the accesses around it.
UINT8 MmioRead8(UINT64 Address);
UINT16 MmioRead16(UINT64 Address);
UINT32 MmioRead32(UINT64 Address);
UINT64 MmioRead64(UINT64 Address);
UINT8 MmioWrite8(UINT64 Address, UINT8 Value);
UINT16 MmioWrite16(UINT64 Address, UINT16 Value);
UINT32 MmioWrite32(UINT64 Address, UINT32 Value);
UINT64 MmioWrite64(UINT64 Address, UINT64 Value);

// Backend-independent helpers built on the accessors above (cpu_common.cpp).
UINT32 MmioAndThenOr32(UINT64 Address, UINT32 AndMask, UINT32 OrMask);
VOID MmioReadBuffer8(UINT64 Address, UINTN Length, VOID *Buffer);

// Processor state.
UINTN CpuReadFlags(VOID);
VOID CpuDisableInterrupts(VOID);
VOID CpuEnableInterrupts(VOID);
BOOLEAN CpuInterruptsEnabled(VOID);
UINT64 CpuReadTsc(VOID);
VOID CpuPause(VOID);
