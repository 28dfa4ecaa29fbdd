// The host engine's half of the SMM boundary. Host images run on the host CPU, so the
// platform cannot see their accesses one by one; instead the arena below SMRAM is made
// inaccessible for the length of an SMI. An access there traps: the page is given back
// and the access goes on, and when the instruction lies in a host image's code it is
// kept as a finding. (An access by the platform's own code, a device model writing
// memory, is not one: its page is given back unreported, and a later access by an image
// to that page in the same SMI goes unseen. Instruction fetches cannot be caught here:
// host images do not run from the arena.)
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct HostCodeRange {
  uint64_t start = 0;
  uint64_t end = 0;
};

struct HostGuardedAccess {
  uint64_t address = 0;
  uint64_t rip = 0;
  bool write = false;
};

// [start, end) becomes inaccessible; accesses from the code ranges are recorded.
void GuardHostRange(uint64_t start, uint64_t end, const std::vector<HostCodeRange> &imageCode);
// The range is accessible again; returns what the images accessed while it was guarded.
std::vector<HostGuardedAccess> ReleaseHostRange();

}  // namespace sim
