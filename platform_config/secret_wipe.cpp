#include "platform_config/secret_wipe.h"

#include "runtime/base/pool.h"

VOID WipeSecret(VOID *Buffer, UINTN Length) {
  volatile UINT8 *Bytes = (volatile UINT8 *)Buffer;
  for (UINTN Index = 0; Index < Length; Index++) {
    Bytes[Index] = 0;
  }
}

VOID FreeSecret(VOID *Buffer, UINTN Length) {
  if (Buffer == nullptr) {
    return;
  }
  WipeSecret(Buffer, Length);
  FreePool(Buffer);
}
