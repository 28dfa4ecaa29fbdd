// EFI_SMM_COMMUNICATION_PROTOCOL: hands a buffer to the SMM handler named by the GUID
// in its header. The only handler on this platform is the lock-box store. Every
// buffer is captured as it arrived, before the handler answers in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/uefi/smm_communication.h"
#include "runtime/uefi/status.h"

namespace sim {

class LockBoxStore;
class Arena;

struct CommunicationRequest {
  std::vector<uint8_t> bytes;  // as sent
  UINTN size = 0;              // the CommSize given (0 when none was)
  EFI_STATUS status = 0;       // what Communicate returned
  std::string caller;
};

class SmmCommunication {
 public:
  // The largest message the SMM side accepts (its communication buffer).
  static constexpr uint64_t kMaximumMessage = 0x10000;

  explicit SmmCommunication(LockBoxStore &lockBoxes) : lockBoxes_(lockBoxes) {}

  // EFI_INVALID_PARAMETER for a null buffer, EFI_BAD_BUFFER_SIZE when the buffer
  // cannot hold its header and message, EFI_NOT_FOUND for a GUID nobody handles.
  EFI_STATUS Communicate(void *buffer, UINTN *size, const std::string &caller);
  const std::vector<CommunicationRequest> &Requests() const { return requests_; }

  // Fault switch: every request answers this status and never reaches a handler
  // (EFI_SUCCESS: communication works).
  void FailWith(EFI_STATUS status) { failWith_ = status; }

 private:
  LockBoxStore &lockBoxes_;
  std::vector<CommunicationRequest> requests_;
  EFI_STATUS failWith_ = EFI_SUCCESS;
};

EFI_SMM_COMMUNICATION_PROTOCOL *BuildSmmCommunication(Arena &arena);

}  // namespace sim
