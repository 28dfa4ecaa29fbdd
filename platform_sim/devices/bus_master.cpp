#include "platform_sim/devices/bus_master.h"

#include <cstring>

#include "platform_sim/memory/arena.h"

namespace sim {

size_t BusMaster::Turn() {
  ++turns_;
  size_t made = 0;
  for (const DmaWrite &write : writes_) {
    if (write.bytes.empty() || !arena_.InArena(write.address, write.bytes.size())) continue;
    if (arena_.InSmram(write.address) || arena_.InSmram(write.address + write.bytes.size() - 1)) continue;
    std::memcpy(reinterpret_cast<void *>(write.address), write.bytes.data(), write.bytes.size());
    ++made;
  }
  return made;
}

}  // namespace sim
