// The non-volatile variables in a flash image file: the simulated variable services keep
// them in the 64 KiB below the BIOS region (0xFF9F0000), so a persistent flash image
// carries them from one run to the next as a board's flash does.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform_sim/firmware/variable_store.h"

namespace simulator {

constexpr uint64_t kVariableRegionAddress = 0xFF9F0000;
constexpr uint64_t kVariableRegionSize = 0x10000;

// The variables the region holds; nothing when it was never written (erased).
// InputError when it is written but damaged.
std::optional<std::vector<sim::Variable>> ReadVariableRegion(const std::vector<uint8_t> &image);
// The region erased and programmed with the non-volatile variables among `variables`;
// InputError when they do not fit.
void WriteVariableRegion(std::vector<uint8_t> &image, const std::vector<sim::Variable> &variables);

}  // namespace simulator
