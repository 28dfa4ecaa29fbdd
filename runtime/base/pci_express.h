// PCI Express configuration-space addresses (enhanced configuration mechanism).
#pragma once

#include "runtime/uefi/types.h"

#define PCI_EXPRESS_BASE_ADDRESS 0xE0000000ull

inline UINT64 PciExpressAddress(UINT8 Bus, UINT8 Device, UINT8 Function) {
  return PCI_EXPRESS_BASE_ADDRESS + ((UINT64)Bus << 20) + ((UINT64)(Device & 0x1F) << 15) +
         ((UINT64)(Function & 0x07) << 12);
}
