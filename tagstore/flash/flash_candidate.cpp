// Reading one candidate from the PCD table into the candidate record.
#include "runtime/base/memory.h"
#include "runtime/base/pcd_access.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tagstore/flash/flash_selection.h"

static FLASH_CANDIDATE_RECORD mCandidate;
static FlashDeviceContext mContext;

static VOID CopyName(const EFI_GUID *Space, UINTN Token, CHAR8 *Name) {
  ZeroMem(Name, FLASH_NAME_SIZE);
  const VOID *Value = PcdGetPtrEx(Space, Token);
  if (Value == nullptr) {
    return;
  }
  UINTN Size = PcdGetSizeEx(Space, Token);
  CopyMem(Name, Value, Size < FLASH_NAME_SIZE ? Size : FLASH_NAME_SIZE);
}

EFI_STATUS FlashTryCandidate(UINTN Token) {
  FLASH_CANDIDATE_RECORD *Record = &mCandidate;
  ZeroMem(Record, sizeof(*Record));

  UINTN Size = PcdGetSizeEx(&gFlashDescriptorTokenSpaceGuid, Token);
  const VOID *Descriptor = PcdGetPtrEx(&gFlashDescriptorTokenSpaceGuid, Token);
  if (Descriptor == nullptr) {
    return EFI_NOT_FOUND;
  }
  // A table entry larger than the room for it is not this layout: refuse it rather than
  // copy past the record.
  if (Size > sizeof(Record->Descriptor)) {
    return EFI_BAD_BUFFER_SIZE;
  }
  Record->RecordSize = (UINT32)(Size + 12);
  CopyMem(Record->Descriptor, Descriptor, Size);

  UINT8 AccessType = Record->Descriptor[0];
  UINTN Capacity;
  if (AccessType <= FLASH_ACCESS_PARALLEL_OTHER) {
    Capacity = FLASH_PARALLEL_COMMAND_CAPACITY;
  } else if (AccessType == FLASH_ACCESS_SPI) {
    Capacity = FLASH_SPI_COMMAND_CAPACITY;
  } else {
    return EFI_UNSUPPORTED;
  }

  UINTN CommandSize = PcdGetSizeEx(&gFlashCommandTokenSpaceGuid, Token);
  const VOID *Command = PcdGetPtrEx(&gFlashCommandTokenSpaceGuid, Token);
  if (Command == nullptr) {
    return EFI_NOT_FOUND;
  }
  if (CommandSize > Capacity) {
    return EFI_BAD_BUFFER_SIZE;
  }
  CopyMem(Record->CommandData, Command, CommandSize);

  CopyName(&gFlashFirstNameTokenSpaceGuid, Token, Record->FirstName);
  CopyName(&gFlashSecondNameTokenSpaceGuid, Token, Record->SecondName);

  EFI_STATUS Status = FlashFillContext(Record, &mContext);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  FlashSetCurrentContext(&mContext);
  return FlashIdentifyDevice(&mContext);
}
