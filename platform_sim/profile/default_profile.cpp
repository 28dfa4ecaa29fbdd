#include "platform_sim/profile/platform_profile.h"

#include "platform_sim/flash/flash_platforms.h"

namespace sim {

PlatformProfile DefaultPlatformProfile() {
  PlatformProfile profile;
  profile.name = "default";
  // The variable services start after the drivers, so the notification path runs.
  profile.variableWriteAtBoot = false;
  // The platform converts registered pointers when the OS goes virtual.
  profile.addressFixupAtBoot = true;
  // The override marker is set and the options register holds the factory value.
  profile.cmosBank2[0x47] = 0x00;
  profile.cmosBank2[0x50] = 0xAA;
  profile.cmosBank2[0x58] = 0x00;
  // The controller leaves the first extended command unacknowledged, as a controller
  // that is still starting up does.
  profile.ecAnswers = {0x00, 0x80};
  // A 16-MiB SPI flash with its candidate table and a factory-filled tag store.
  UseSpiFlash(profile);
  return profile;
}

}  // namespace sim
