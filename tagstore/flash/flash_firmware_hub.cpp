// Firmware-hub flash: block erase and byte program commands, completion and outcome in
// the status register.
#include "runtime/base/cpu.h"
#include "runtime/base/delay.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_access.h"

#define FWH_BLOCK_SIZE 0x10000u
#define FWH_READY 0x80
// Erase failed, program failed, programming voltage low.
#define FWH_ERRORS 0x38
#define FWH_ERASE_POLL_LIMIT 5000000u
#define FWH_WAIT_LIMIT_US 10000000u

EFI_STATUS FirmwareHubErase(UINT64 Address, UINTN Length) {
  if (Length % FWH_BLOCK_SIZE != 0) {
    return EFI_INVALID_PARAMETER;
  }
  EFI_STATUS Status = EFI_SUCCESS;
  for (UINTN Offset = 0; Offset < Length; Offset += FWH_BLOCK_SIZE) {
    UINT64 BlockAddress = Address + Offset;
    MmioWrite8(BlockAddress, 0x20);
    MmioWrite8(BlockAddress, 0xD0);
    MmioWrite8(BlockAddress, 0x70);
    UINT8 State = 0;
    for (UINT32 Poll = 0; Poll < FWH_ERASE_POLL_LIMIT; Poll++) {
      State = MmioRead8(BlockAddress);
      MicroSecondDelay(FLASH_POLL_DELAY_US);
      if ((State & FWH_READY) != 0) {
        break;
      }
    }
    // Every block is issued; one that did not finish cleanly fails the whole erase.
    if ((State & FWH_READY) == 0 || (State & FWH_ERRORS) != 0) {
      Status = EFI_DEVICE_ERROR;
    }
    MmioWrite8(BlockAddress, 0x50);
    MmioWrite8((BlockAddress & ~(UINT64)0xFFFFF) + 0xC0000, 0xFF);
  }
  return Status;
}

EFI_STATUS FirmwareHubWrite(UINT64 Address, const UINT8 *Data, UINTN *Length) {
  EFI_STATUS Status = EFI_SUCCESS;
  for (UINTN Index = 0; Index < *Length; Index++) {
    UINT64 ByteAddress = Address + Index;
    MmioWrite8(ByteAddress, 0x40);
    MmioWrite8(ByteAddress, Data[Index]);
    MmioWrite8(ByteAddress, 0x70);
    UINT8 State = MmioRead8(ByteAddress);
    for (UINT32 Waited = 0; (State & FWH_READY) == 0 && Waited < FWH_WAIT_LIMIT_US; Waited += FLASH_POLL_DELAY_US) {
      MicroSecondDelay(FLASH_POLL_DELAY_US);
      State = MmioRead8(ByteAddress);
    }
    if ((State & FWH_READY) == 0 || (State & FWH_ERRORS) != 0) {
      *Length = Index;
      Status = EFI_DEVICE_ERROR;
      break;
    }
  }
  MmioWrite8(Address, 0x50);
  MmioWrite8(Address, 0xFF);
  return Status;
}
