// The hardware port handed to every host image.
#pragma once

#include "platform_sim/guest/hardware_port.h"

namespace sim {
const SIM_HARDWARE_PORT *HardwarePort();
}
