// The platform's setup component as the configuration driver meets it: it publishes
// SetupDataProtocol, whose interface points at its live copy of the "Setup" record.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/uefi/types.h"

namespace sim {

class Platform;

class SetupComponent {
 public:
  static constexpr size_t kSetupSize = 1800;

  // Loads the live record from the "Setup" variable (zeros where it has no data) and
  // installs the protocol on a new handle. Returns the live record.
  static UINT8 *Publish(Platform &platform);
  // The live record of the current boot, or null when it has not been published.
  static UINT8 *LiveRecord(Platform &platform);
};

}  // namespace sim
