#include "runtime/shared_state/lock_box.h"

#include "runtime/base/memory.h"
#include "runtime/base/services.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

// Located at every request: the protocol may come and go between them.
static EFI_SMM_COMMUNICATION_PROTOCOL *LocateCommunication(VOID) {
  EFI_SMM_COMMUNICATION_PROTOCOL *Communication = nullptr;
  if (gBS == nullptr ||
      EFI_ERROR(gBS->LocateProtocol(&gEfiSmmCommunicationProtocolGuid, nullptr, (VOID **)&Communication))) {
    return nullptr;
  }
  return Communication;
}

static VOID FillHeader(EFI_SMM_COMMUNICATE_HEADER *Communicate, LOCK_BOX_PARAMETER_HEADER *Header, UINT32 Command,
                       UINTN RequestSize) {
  CopyGuid(&Communicate->HeaderGuid, &gLockBoxCommunicationGuid);
  Communicate->MessageLength = RequestSize - sizeof(EFI_SMM_COMMUNICATE_HEADER);
  Header->Command = Command;
  Header->DataLength = (UINT32)(RequestSize - sizeof(EFI_SMM_COMMUNICATE_HEADER));
  Header->ReturnStatus = ~(UINT64)0;
}

// The handler answers in the request; a message that never reached it answers with
// the communication error instead of the untouched preset.
static EFI_STATUS Send(EFI_SMM_COMMUNICATION_PROTOCOL *Communication, VOID *Request, UINTN Size,
                       const LOCK_BOX_PARAMETER_HEADER *Header) {
  EFI_STATUS Status = Communication->Communicate(Communication, Request, &Size);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  return (EFI_STATUS)Header->ReturnStatus;
}

EFI_STATUS SaveLockBox(const EFI_GUID *Guid, const VOID *Buffer, UINTN Length) {
  if (Guid == nullptr || Buffer == nullptr || Length == 0) {
    return EFI_INVALID_PARAMETER;
  }
  EFI_SMM_COMMUNICATION_PROTOCOL *Communication = LocateCommunication();
  if (Communication == nullptr) {
    return EFI_NOT_STARTED;
  }
  LOCK_BOX_SAVE_REQUEST Request;
  ZeroMem(&Request, sizeof(Request));
  FillHeader(&Request.Communicate, &Request.Header, LOCK_BOX_COMMAND_SAVE, sizeof(Request));
  CopyGuid(&Request.Guid, Guid);
  Request.Buffer = (UINT64)(UINTN)Buffer;
  Request.Length = Length;
  return Send(Communication, &Request, sizeof(Request), &Request.Header);
}

EFI_STATUS SetLockBoxAttributes(const EFI_GUID *Guid, UINT64 Attributes) {
  if (Guid == nullptr || Attributes > LOCK_BOX_ATTRIBUTE_RESTORE_IN_PLACE) {
    return EFI_INVALID_PARAMETER;
  }
  EFI_SMM_COMMUNICATION_PROTOCOL *Communication = LocateCommunication();
  if (Communication == nullptr) {
    return EFI_NOT_STARTED;
  }
  LOCK_BOX_SET_ATTRIBUTES_REQUEST Request;
  ZeroMem(&Request, sizeof(Request));
  FillHeader(&Request.Communicate, &Request.Header, LOCK_BOX_COMMAND_SET_ATTRIBUTES, sizeof(Request));
  CopyGuid(&Request.Guid, Guid);
  Request.Attributes = Attributes;
  return Send(Communication, &Request, sizeof(Request), &Request.Header);
}
