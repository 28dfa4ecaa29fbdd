// The compiler may turn structure copies and clears into memcpy/memset calls. A
// firmware image has no C library, so those symbols come from here.
#include "runtime/base/memory.h"

extern "C" void *memcpy(void *Destination, const void *Source, size_t Length) {
  return CopyMem(Destination, Source, Length);
}

extern "C" void *memmove(void *Destination, const void *Source, size_t Length) {
  return CopyMem(Destination, Source, Length);
}

extern "C" void *memset(void *Buffer, int Value, size_t Length) { return SetMem(Buffer, Length, (UINT8)Value); }

extern "C" int memcmp(const void *A, const void *B, size_t Length) { return (int)CompareMem(A, B, Length); }
