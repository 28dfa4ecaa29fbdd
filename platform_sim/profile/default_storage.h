// The default platform's storage, brought up on a bus (for tests that build the storage
// without a profile).
#pragma once

#include "platform_sim/profile/storage_profile.h"
#include "platform_sim/storage/storage_models.h"

namespace sim {

// ConnectStorage with DefaultStorageProfile().
void ConnectDefaultStorage(StorageBus &bus);

}  // namespace sim
