#include "platform_sim/smm/smm_communication.h"

#include <cstdio>
#include <cstring>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "platform_sim/smm/lock_box_store.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace sim {

EFI_STATUS SmmCommunication::Communicate(void *buffer, UINTN *size, const std::string &caller) {
  CommunicationRequest request;
  request.size = size != nullptr ? *size : 0;
  request.caller = caller;
  auto *bytes = static_cast<uint8_t *>(buffer);
  EFI_SMM_COMMUNICATE_HEADER header{};
  EFI_STATUS status = EFI_SUCCESS;
  if (failWith_ != EFI_SUCCESS) {
    status = failWith_;  // the fault switch: the message never reaches SMM
    if (bytes != nullptr && size != nullptr) request.bytes.assign(bytes, bytes + *size);
  } else if (bytes == nullptr) {
    status = EFI_INVALID_PARAMETER;
  } else if (size != nullptr && *size < sizeof(header)) {
    status = EFI_BAD_BUFFER_SIZE;
    request.bytes.assign(bytes, bytes + *size);
  } else {
    std::memcpy(&header, bytes, sizeof(header));
    // Without a size the header's message length says how far the buffer goes.
    uint64_t total = size != nullptr ? *size : sizeof(header) + header.MessageLength;
    if (header.MessageLength > kMaximumMessage || total > sizeof(header) + kMaximumMessage) {
      status = EFI_BAD_BUFFER_SIZE;
      request.bytes.assign(bytes, bytes + sizeof(header));
    } else {
      request.bytes.assign(bytes, bytes + total);
      if (header.MessageLength > total - sizeof(header)) {
        status = EFI_BAD_BUFFER_SIZE;
      } else if (!SameGuid(header.HeaderGuid, gLockBoxCommunicationGuid)) {
        status = EFI_NOT_FOUND;
      } else if (total < LockBoxStore::kMinimumRequestSize) {
        status = EFI_BAD_BUFFER_SIZE;
      } else {
        lockBoxes_.Handle(bytes, total, caller);
      }
    }
  }
  request.status = status;
  requests_.push_back(std::move(request));
  return status;
}

namespace {

const char *CommandName(uint32_t command) {
  switch (command) {
    case LockBoxStore::kSave: return "save";
    case LockBoxStore::kSetAttributes: return "set attributes";
    default: return "command";
  }
}

EFI_STATUS EFIAPI Communicate(CONST EFI_SMM_COMMUNICATION_PROTOCOL *, VOID *buffer, UINTN *size) {
  Platform &platform = Platform::Current();
  SmmCommunication &communication = platform.Core().Communication();
  EFI_STATUS status = communication.Communicate(buffer, size, platform.Actor());
  const CommunicationRequest &request = communication.Requests().back();
  std::string text = "SMM communication " + StatusText(status);
  if (status == EFI_SUCCESS && request.bytes.size() >= 56) {
    uint32_t command = 0;
    EFI_GUID guid{};
    uint64_t answer = 0;
    std::memcpy(&command, request.bytes.data() + 24, sizeof(command));
    std::memcpy(&guid, request.bytes.data() + 40, sizeof(guid));
    std::memcpy(&answer, static_cast<uint8_t *>(buffer) + 32, sizeof(answer));
    text = std::string("lock box ") + CommandName(command) + " " + GuidName(guid) + " -> " + StatusText(answer);
  }
  platform.Record(EffectKind::LockBox, text, status);
  return status;
}

}  // namespace

EFI_SMM_COMMUNICATION_PROTOCOL *BuildSmmCommunication(Arena &arena) {
  auto *protocol = arena.NewFirmware<EFI_SMM_COMMUNICATION_PROTOCOL>();
  protocol->Communicate = Communicate;
  return protocol;
}

}  // namespace sim
