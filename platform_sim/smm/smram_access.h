// EFI_SMM_ACCESS2_PROTOCOL over the arena's SMRAM region: one descriptor, which can
// be opened, closed and locked (a locked region cannot be opened again).
#pragma once

#include <vector>

#include "runtime/uefi/smm_access.h"

namespace sim {

class Arena;

class SmramAccess {
 public:
  explicit SmramAccess(const Arena &arena) : arena_(arena) {}

  EFI_STATUS Open();
  EFI_STATUS Close();
  void Lock() { locked_ = true; }
  bool IsOpen() const { return open_; }
  bool IsLocked() const { return locked_; }

  std::vector<EFI_SMRAM_DESCRIPTOR> Descriptors() const;
  // GetCapabilities: EFI_BUFFER_TOO_SMALL with the size needed when *size is short.
  EFI_STATUS GetCapabilities(UINTN *size, EFI_SMRAM_DESCRIPTOR *map) const;

 private:
  const Arena &arena_;
  bool open_ = false;
  bool locked_ = false;
};

EFI_SMM_ACCESS2_PROTOCOL *BuildSmmAccess2(Arena &arena);

}  // namespace sim
