#include "platform_sim/firmware/setup_component.h"

#include <algorithm>
#include <cstring>

#include "runtime/uefi/setup_data_protocol.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"

namespace sim {

UINT8 *SetupComponent::Publish(Platform &platform) {
  FirmwareCore &core = platform.Core();
  auto *record = static_cast<UINT8 *>(core.Memory().AllocateFirmware(kSetupSize));
  if (const Variable *setup = platform.Variables().Find(u"Setup", gSetupVariableGuid)) {
    std::memcpy(record, setup->data.data(), std::min(setup->data.size(), kSetupSize));
  }
  auto *protocol = core.Memory().NewFirmware<SETUP_DATA_PROTOCOL>();
  protocol->SetupData = record;
  ActorScope actor(platform, "setup component");
  core.InstallProtocol(gSetupDataProtocolGuid, protocol);
  return record;
}

UINT8 *SetupComponent::LiveRecord(Platform &platform) {
  void *interface = nullptr;
  platform.Core().Protocols().Locate(gSetupDataProtocolGuid, nullptr, &interface);
  return interface == nullptr ? nullptr : static_cast<SETUP_DATA_PROTOCOL *>(interface)->SetupData;
}

}  // namespace sim
