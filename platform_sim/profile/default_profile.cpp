#include "platform_sim/profile/platform_profile.h"

#include <cstring>
#include <string>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/report/power_event_log_report.h"
#include "platform_sim/report/tag_store_records.h"
#include "runtime/uefi/guids.h"

namespace sim {

PlatformProfile DefaultPlatformProfile() {
  PlatformProfile profile;
  profile.name = "default";
  // The variable services start after the drivers, so the notification path runs.
  profile.variableWriteAtBoot = false;
  // The platform converts registered pointers when the OS goes virtual.
  profile.addressFixupAtBoot = true;
  // The override marker is set and the options register holds the factory value.
  profile.cmosBank2[0x47] = 0x03;
  profile.cmosBank2[0x50] = 0xAA;
  profile.cmosBank2[0x58] = 0x00;
  // The controller leaves the first extended command unacknowledged, as a controller
  // that is still starting up does.
  profile.ecAnswers = {0x00, 0x80};
  // A 16-MiB SPI flash with its candidate table and a factory-filled tag store.
  UseSpiFlash(profile);

  // The stored setup: options 230 and 235 as the user left them, the four policy
  // conditions met.
  std::vector<uint8_t> setup(1800, 0);
  setup[230] = 1;
  setup[235] = 0;
  for (size_t offset = 234; offset <= 237; ++offset) setup[offset] = 1;
  profile.variables.push_back(Variable{u"Setup", gSetupVariableGuid, 0x7, setup});
  // "PchSetup" as a previous firmware left it: byte 23 still 1, although the override
  // marker asks for 0, so the first boot brings it in line and resets.
  std::vector<uint8_t> pchSetup(1632, 0);
  pchSetup[23] = 1;
  profile.variables.push_back(Variable{u"PchSetup", gPchSetupVariableGuid, 0x7, pchSetup});

  // The signed password block written by the factory tool.
  std::vector<uint8_t> passwords(0x1000, 0xFF);
  std::memcpy(passwords.data(), "_QZNV_", 6);
  std::memset(passwords.data() + 6, 0, 58);
  passwords[32] = 1;
  const std::string master = "Factory1";
  const std::string user = "user";
  std::memcpy(passwords.data() + 33, master.data(), master.size());
  std::memcpy(passwords.data() + 49, user.data(), user.size());
  profile.flash.contents.push_back({0xFFD61000, passwords});

  // SMM with the chipset's Sx dispatcher and the region flash service; the power-event
  // log provisioned when the flash image was made: signature, every slot free.
  profile.smmBase = true;
  profile.flash.regionFlashSmm = true;
  const TagStoreRecord plog = *FindTagStoreRecord(PowerEventLogTag());
  profile.flash.contents.push_back({kTagStoreBase + plog.offset, ProvisionedPowerEventLog()});

  // Loaded as a runtime image so that its pointer registrations with the address fix-up
  // protocol show (loaded as the boot-service driver it is, it registers nothing); the
  // power-event log goes into SMRAM.
  profile.images = {{"PlatformConfigDxe", true, false}, {"PowerEventLogSmm", false, true}};
  return profile;
}

}  // namespace sim
