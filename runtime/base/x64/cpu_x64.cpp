// Facade backend for firmware images: the instructions themselves. Every access carries
// a compiler barrier ("memory" clobber, or CompilerBarrier around a volatile access), so
// ordinary loads and stores stay on their side of it as cpu.h promises.
#include "runtime/base/cpu.h"

static inline VOID CompilerBarrier(VOID) { __asm__ __volatile__("" : : : "memory"); }

UINT8 IoRead8(UINT16 Port) {
  UINT8 Value;
  __asm__ __volatile__("inb %w1, %b0" : "=a"(Value) : "Nd"(Port) : "memory");
  return Value;
}

UINT16 IoRead16(UINT16 Port) {
  UINT16 Value;
  __asm__ __volatile__("inw %w1, %w0" : "=a"(Value) : "Nd"(Port) : "memory");
  return Value;
}

UINT32 IoRead32(UINT16 Port) {
  UINT32 Value;
  __asm__ __volatile__("inl %w1, %0" : "=a"(Value) : "Nd"(Port) : "memory");
  return Value;
}

UINT8 IoWrite8(UINT16 Port, UINT8 Value) {
  __asm__ __volatile__("outb %b0, %w1" : : "a"(Value), "Nd"(Port) : "memory");
  return Value;
}

UINT16 IoWrite16(UINT16 Port, UINT16 Value) {
  __asm__ __volatile__("outw %w0, %w1" : : "a"(Value), "Nd"(Port) : "memory");
  return Value;
}

UINT32 IoWrite32(UINT16 Port, UINT32 Value) {
  __asm__ __volatile__("outl %0, %w1" : : "a"(Value), "Nd"(Port) : "memory");
  return Value;
}

// Volatile accesses of the exact width (the compiler may not merge or split them),
// fenced for the compiler on both sides.
UINT8 MmioRead8(UINT64 Address) {
  CompilerBarrier();
  UINT8 Value = *(volatile UINT8 *)(UINTN)Address;
  CompilerBarrier();
  return Value;
}

UINT16 MmioRead16(UINT64 Address) {
  CompilerBarrier();
  UINT16 Value = *(volatile UINT16 *)(UINTN)Address;
  CompilerBarrier();
  return Value;
}

UINT32 MmioRead32(UINT64 Address) {
  CompilerBarrier();
  UINT32 Value = *(volatile UINT32 *)(UINTN)Address;
  CompilerBarrier();
  return Value;
}

UINT64 MmioRead64(UINT64 Address) {
  CompilerBarrier();
  UINT64 Value = *(volatile UINT64 *)(UINTN)Address;
  CompilerBarrier();
  return Value;
}

UINT8 MmioWrite8(UINT64 Address, UINT8 Value) {
  CompilerBarrier();
  *(volatile UINT8 *)(UINTN)Address = Value;
  CompilerBarrier();
  return Value;
}

UINT16 MmioWrite16(UINT64 Address, UINT16 Value) {
  CompilerBarrier();
  *(volatile UINT16 *)(UINTN)Address = Value;
  CompilerBarrier();
  return Value;
}

UINT32 MmioWrite32(UINT64 Address, UINT32 Value) {
  CompilerBarrier();
  *(volatile UINT32 *)(UINTN)Address = Value;
  CompilerBarrier();
  return Value;
}

UINT64 MmioWrite64(UINT64 Address, UINT64 Value) {
  CompilerBarrier();
  *(volatile UINT64 *)(UINTN)Address = Value;
  CompilerBarrier();
  return Value;
}

UINTN CpuReadFlags(VOID) {
  UINTN Flags;
  __asm__ __volatile__("pushfq\n\tpopq %0" : "=r"(Flags) : : "memory");
  return Flags;
}

VOID CpuDisableInterrupts(VOID) { __asm__ __volatile__("cli" : : : "memory"); }

VOID CpuEnableInterrupts(VOID) { __asm__ __volatile__("sti" : : : "memory"); }

UINT64 CpuReadTsc(VOID) {
  UINT32 Low;
  UINT32 High;
  __asm__ __volatile__("rdtsc" : "=a"(Low), "=d"(High) : : "memory");
  return ((UINT64)High << 32) | Low;
}

VOID CpuPause(VOID) { __asm__ __volatile__("pause" : : : "memory"); }
