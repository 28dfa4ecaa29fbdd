// The SMM boundary while an SMI runs. SMM code must read nothing the operating system
// can write: in an SMI, an instruction fetch outside SMRAM is a fault (an SMM call-out),
// and a data access by an image to arena memory outside SMRAM is a finding, with the
// image, the offset of the instruction in it and the address. Device registers and the
// flash window lie outside the arena and are not checked. The emulated engine sees every
// access of the shipped bytes; the host engine guards the arena below SMRAM for the
// length of the SMI (host_smram_guard.h says how far that reaches).
#pragma once

#include <string>
#include <vector>

namespace sim {

class Platform;
class SmmCore;

class SmiBoundary {
 public:
  explicit SmiBoundary(Platform &platform) : platform_(platform) {}

  // An SMI raised while one runs shares the outermost one's boundary.
  void Enter();
  void Leave();

  // Every finding of this boot, in order.
  const std::vector<std::string> &Findings() const { return findings_; }

 private:
  void Report(const std::string &image, uint64_t offset, uint64_t address, bool write);

  Platform &platform_;
  unsigned depth_ = 0;
  std::vector<std::string> findings_;
};

// While alive, the processor runs an SMI: in SMM, behind the boundary.
class SmiScope {
 public:
  explicit SmiScope(SmmCore &smm);
  ~SmiScope();
  SmiScope(const SmiScope &) = delete;
  SmiScope &operator=(const SmiScope &) = delete;

 private:
  SmmCore &smm_;
  bool wasActive_;
};

}  // namespace sim
