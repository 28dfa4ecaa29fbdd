// Parallel flash with the JEDEC command set: unlock cycles on two command addresses,
// completion seen by the toggle bit.
#include "runtime/base/cpu.h"
#include "runtime/base/delay.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_access.h"

#define SECTOR_SIZE 0x1000u
#define BLOCK_SIZE 0x10000u
#define ERASE_SECTOR_CODE 0x30
#define ERASE_BLOCK_CODE 0x50
#define TOGGLE_BIT 0x40
#define ERASE_POLL_LIMIT 50001u
#define PROGRAM_POLL_LIMIT 50000u

static VOID Unlock(const PARALLEL_COMMAND_BLOCK *Block) {
  MmioWrite8(Block->Command1Address, 0xAA);
  MmioWrite8(Block->Command2Address, 0x55);
}

static BOOLEAN ReadsErased(UINT64 Address, UINTN Count) {
  for (UINTN Index = 0; Index < Count; Index++) {
    if (MmioRead8(Address + Index) != 0xFF) {
      return FALSE;
    }
  }
  return TRUE;
}

// TRUE once the toggle bit stands still and the unit's first bytes read erased.
static BOOLEAN WaitForErase(UINT64 Address, UINTN CheckedBytes) {
  UINT8 Previous = MmioRead8(Address) & TOGGLE_BIT;
  for (UINT32 Poll = 0; Poll < ERASE_POLL_LIMIT; Poll++) {
    MicroSecondDelay(FLASH_POLL_DELAY_US);
    UINT8 Current = MmioRead8(Address) & TOGGLE_BIT;
    if (Current == Previous && ReadsErased(Address, CheckedBytes)) {
      return TRUE;
    }
    Previous = Current;
  }
  return FALSE;
}

EFI_STATUS ParallelJedecErase(const PARALLEL_COMMAND_BLOCK *Block, UINT64 Address, UINTN Length) {
  if (Length == 0 || Length % SECTOR_SIZE != 0) {
    return EFI_INVALID_PARAMETER;
  }
  BOOLEAN Blocks = Length >= BLOCK_SIZE && Length % BLOCK_SIZE == 0;
  UINTN Unit = Blocks ? BLOCK_SIZE : SECTOR_SIZE;
  UINT8 Code = Blocks ? ERASE_BLOCK_CODE : ERASE_SECTOR_CODE;
  UINTN CheckedBytes = Blocks ? 8 : 4;
  EFI_STATUS Status = EFI_SUCCESS;
  for (UINTN Offset = 0; Offset < Length; Offset += Unit) {
    UINT64 UnitAddress = Address + Offset;
    Unlock(Block);
    MmioWrite8(Block->Command1Address, 0x80);
    Unlock(Block);
    MmioWrite8(UnitAddress, Code);
    // Every unit is issued; one that never reads erased fails the whole erase, so that
    // nobody programs over what is still there.
    if (!WaitForErase(UnitAddress, CheckedBytes)) {
      Status = EFI_DEVICE_ERROR;
    }
    MicroSecondDelay(FLASH_POLL_DELAY_US);
  }
  return Status;
}

// The byte read once two successive reads agree (the toggle bit has stopped).
static BOOLEAN WaitForProgram(UINT64 Address, UINT8 *Settled) {
  MicroSecondDelay(FLASH_POLL_DELAY_US);
  UINT8 Previous = MmioRead8(Address);
  for (UINT32 Poll = 0; Poll < PROGRAM_POLL_LIMIT; Poll++) {
    MicroSecondDelay(FLASH_POLL_DELAY_US);
    UINT8 Current = MmioRead8(Address);
    if (Current == Previous) {
      *Settled = Current;
      return TRUE;
    }
    Previous = Current;
  }
  return FALSE;
}

EFI_STATUS ParallelJedecWrite(const PARALLEL_COMMAND_BLOCK *Block, UINT64 Address, const UINT8 *Data, UINTN *Length) {
  for (UINTN Index = 0; Index < *Length; Index++) {
    UINT64 ByteAddress = Address + Index;
    if (MmioRead8(ByteAddress) == Data[Index]) {
      continue;
    }
    Unlock(Block);
    MmioWrite8(Block->Command1Address, 0xA0);
    MmioWrite8(ByteAddress, Data[Index]);
    UINT8 Settled = 0;
    if (!WaitForProgram(ByteAddress, &Settled) || Settled != Data[Index]) {
      *Length = Index;
      return EFI_DEVICE_ERROR;
    }
  }
  return EFI_SUCCESS;
}
