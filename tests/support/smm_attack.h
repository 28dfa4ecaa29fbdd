// What the SMM attacker tests compare: SMRAM and every byte of the flash before and after
// the operating system's writes and its sleep-state entries, and what they may change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform_sim/platform.h"

namespace simtest {

// Copies memory as the processor or a device sees it, free pool included, which the
// arena poisons for the sanitizer: byte by byte, unchecked.
void CopyRaw(uint8_t *to, const uint8_t *from, uint64_t size);

// SMRAM as bytes, with what an SMI may change without the attacker's help masked to 0:
// the SMM driver's own tag store copy and the emulated engine's SMI stack.
std::vector<uint8_t> SmramImage(sim::Platform &platform);
// Every cell of the board's flash (the whole SPI part, or the parallel part's window).
std::vector<uint8_t> FlashImage(sim::Platform &platform);
// What the log may change in FlashImage() between two snapshots: the slots from
// firstSlot on, `count` of them, bytes 0 to 6 each (time and event), and those slots'
// free-map bits. Returns "" when nothing else differs, otherwise what does.
std::string FlashChangesBeyondTheLog(sim::Platform &platform, const std::vector<uint8_t> &before,
                                     const std::vector<uint8_t> &after, unsigned firstSlot, unsigned count);
// "" when the two SMRAM images agree, otherwise how many bytes differ and where.
std::string SmramChanges(const std::vector<uint8_t> &before, const std::vector<uint8_t> &after, uint64_t base);

// The faults and findings of the run, one per line ("" when there are none).
std::string FaultsAndFindings(sim::Platform &platform);

}  // namespace simtest
