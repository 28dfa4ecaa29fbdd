// The platform's flash access protocol: its third function reads memory-mapped flash.
#pragma once

#include "runtime/uefi/flash_access_protocol.h"

namespace sim {

class Arena;

// ReadFlash copies from the bus (the memory-mapped flash as the processor sees it).
// A read that would pass the top of the 4-GiB space is refused.
FLASH_ACCESS_PROTOCOL *BuildFlashAccessProtocol(Arena &arena);

}  // namespace sim
