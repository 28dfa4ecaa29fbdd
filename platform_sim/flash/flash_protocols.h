// The firmware's flash protocols over the platform's SPI controller: ChipsetSpiProtocol
// (boot services and SMM) and the SMM RegionFlashProtocol, installed as the profile says.
#pragma once

#include "platform_sim/profile/platform_profile.h"

namespace sim {

class FirmwareCore;
class Platform;

void InstallFlashProtocols(Platform &platform, FirmwareCore &core, const PlatformProfile &profile);

}  // namespace sim
