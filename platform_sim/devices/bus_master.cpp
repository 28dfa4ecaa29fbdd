#include "platform_sim/devices/bus_master.h"

#include <cstring>

#include "platform_sim/memory/arena.h"

namespace sim {

namespace {
// DMA writes whatever memory it is aimed at, free pool included (which the arena
// poisons for the sanitizer).
__attribute__((no_sanitize("address"))) void DmaCopy(uint8_t *to, const uint8_t *from, size_t size) {
  for (size_t index = 0; index < size; ++index) to[index] = from[index];
}
}  // namespace

size_t BusMaster::Turn() {
  ++turns_;
  size_t made = 0;
  for (const DmaWrite &write : writes_) {
    if (write.bytes.empty() || !arena_.InArena(write.address, write.bytes.size())) continue;
    if (arena_.InSmram(write.address) || arena_.InSmram(write.address + write.bytes.size() - 1)) continue;
    DmaCopy(reinterpret_cast<uint8_t *>(write.address), write.bytes.data(), write.bytes.size());
    ++made;
  }
  return made;
}

}  // namespace sim
