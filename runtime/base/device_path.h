// Device path node accessors (UEFI device path protocol node header).
#pragma once

#include "runtime/uefi/types.h"

#define END_DEVICE_PATH_TYPE 0x7F
#define END_ENTIRE_DEVICE_PATH_SUBTYPE 0xFF

inline UINT8 DevicePathType(const VOID *Node) { return ((const UINT8 *)Node)[0]; }
inline UINT8 DevicePathSubType(const VOID *Node) { return ((const UINT8 *)Node)[1]; }
inline UINT16 DevicePathNodeLength(const VOID *Node) {
  const UINT8 *Bytes = (const UINT8 *)Node;
  return (UINT16)(Bytes[2] | (Bytes[3] << 8));
}
inline VOID *NextDevicePathNode(const VOID *Node) { return (VOID *)((const UINT8 *)Node + DevicePathNodeLength(Node)); }
inline BOOLEAN IsDevicePathEnd(const VOID *Node) {
  return (DevicePathType(Node) == END_DEVICE_PATH_TYPE && DevicePathSubType(Node) == END_ENTIRE_DEVICE_PATH_SUBTYPE)
             ? TRUE
             : FALSE;
}
