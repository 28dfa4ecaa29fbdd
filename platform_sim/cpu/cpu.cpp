#include "platform_sim/cpu/cpu.h"

namespace sim {

uint64_t Cpu::ReadTsc() {
  AdvanceNs(costs_.tscReadNs);
  return static_cast<uint64_t>(static_cast<unsigned __int128>(nowPs_) * tscHz_ / 1000000000000ull);
}

}  // namespace sim
