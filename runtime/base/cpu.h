// The hardware facade: every port access, interrupt-flag change, TSC read and access
// to a fixed physical address goes through these routines. Firmware images get the
// x64 backend (instructions); host images get the platform model's backend.
//
// Ordering: every routine here is one hardware operation done in program order. It is
// never merged, split, repeated or left out, and the compiler moves neither the other
// facade routines nor ordinary memory reads and writes across it (the x64 backend
// puts a compiler barrier on both sides of each access; the host backend is an opaque
// call). No fence instruction is issued: the processor keeps port I/O and uncached
// device memory in order, so a buffer written before a doorbell write is in memory
// when the device sees the doorbell.
//
// None of these routines blocks, fails or has a precondition beyond the one named:
// the caller owns the port or address it touches.
#pragma once

#include "runtime/uefi/types.h"

#define CPU_FLAGS_INTERRUPT_ENABLE 0x200u

// Port I/O: one IN or OUT of the width. Each write returns the value written.
UINT8 IoRead8(UINT16 Port);
UINT16 IoRead16(UINT16 Port);
UINT32 IoRead32(UINT16 Port);
UINT8 IoWrite8(UINT16 Port, UINT8 Value);
UINT16 IoWrite16(UINT16 Port, UINT16 Value);
UINT32 IoWrite32(UINT16 Port, UINT32 Value);

// Memory-mapped I/O: exactly one access of the width at Address, which must be
// naturally aligned for it and mapped (device registers or memory-mapped flash). Each
// write returns the value written.
UINT8 MmioRead8(UINT64 Address);
UINT16 MmioRead16(UINT64 Address);
UINT32 MmioRead32(UINT64 Address);
UINT64 MmioRead64(UINT64 Address);
UINT8 MmioWrite8(UINT64 Address, UINT8 Value);
UINT16 MmioWrite16(UINT64 Address, UINT16 Value);
UINT32 MmioWrite32(UINT64 Address, UINT32 Value);
UINT64 MmioWrite64(UINT64 Address, UINT64 Value);

// Backend-independent helpers built on the accessors above (cpu_common.cpp).
// Read, AND, OR, write back: two accesses, not atomic against another agent; returns
// the value written.
UINT32 MmioAndThenOr32(UINT64 Address, UINT32 AndMask, UINT32 OrMask);
// Length single-byte reads from Address upwards into Buffer (Length bytes of room).
VOID MmioReadBuffer8(UINT64 Address, UINTN Length, VOID *Buffer);

// Processor state. CpuDisableInterrupts/CpuEnableInterrupts change only the interrupt
// flag; a caller that disables restores the flag it found (CpuInterruptsEnabled).
// CpuReadTsc is the raw time-stamp counter: monotonic, rate in gTscFrequency.
// CpuPause is the spin-wait hint, to be called in every polling loop.
UINTN CpuReadFlags(VOID);
VOID CpuDisableInterrupts(VOID);
VOID CpuEnableInterrupts(VOID);
BOOLEAN CpuInterruptsEnabled(VOID);
UINT64 CpuReadTsc(VOID);
VOID CpuPause(VOID);
