// A platform for the configuration operations: SPI flash holding the manufacturing
// records and the password block, the driver loaded, and its protocol at hand.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform_config/config_protocol.h"
#include "platform_sim/firmware/setup_component.h"
#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/support/sim_helpers.h"

namespace configtest {

constexpr uint64_t kMfg0 = 0xFFD80100;
constexpr uint64_t kCnf1 = 0xFFD81200;
constexpr uint64_t kPasswordBlock = 0xFFD61000;

struct Manufacturing {
  uint8_t mfg0Flag = 0;    // "MFG0" byte 143
  uint8_t cnf1First = 0;   // "CNF1" byte 0
  uint8_t cnf1Byte70 = 0;  // "CNF1" byte 70, as flushed
};

inline std::vector<uint8_t> PasswordBlock(const std::string &master, const std::vector<uint8_t> &user,
                                          uint8_t provision = 1, const char *signature = "_QZNV_") {
  std::vector<uint8_t> block(64, 0);
  std::memcpy(block.data(), signature, 6);
  block[32] = provision;
  std::memcpy(block.data() + 33, master.data(), std::min<size_t>(master.size(), 16));
  std::memcpy(block.data() + 49, user.data(), std::min<size_t>(user.size(), 15));
  return block;
}

inline sim::PlatformProfile ConfigProfile(const Manufacturing &records = {}) {
  sim::PlatformProfile profile = sim::DefaultPlatformProfile();
  profile.variableWriteAtBoot = true;
  profile.variables.clear();
  sim::UseSpiFlash(profile);
  std::vector<uint8_t> mfg0(256, 0);
  mfg0[143] = records.mfg0Flag;
  std::vector<uint8_t> cnf1(256, 0);
  cnf1[0] = records.cnf1First;
  cnf1[70] = records.cnf1Byte70;
  profile.flash.contents.push_back({kMfg0, mfg0});
  profile.flash.contents.push_back({kCnf1, cnf1});
  profile.flash.contents.push_back({kPasswordBlock, std::vector<uint8_t>(64, 0xFF)});
  return profile;
}

inline void PutVariable(sim::PlatformProfile &profile, const std::u16string &name, const EFI_GUID &guid,
                        std::vector<uint8_t> data, uint32_t attributes = 0x7) {
  profile.variables.push_back(sim::Variable{name, guid, attributes, std::move(data)});
}

inline std::vector<uint8_t> PchSetup(uint8_t byte23, size_t size = 1632) {
  std::vector<uint8_t> data(size, 0x5A);
  if (size > 23) data[23] = byte23;
  return data;
}

class ConfigDriver : public ::testing::Test {
 protected:
  void Boot(const sim::PlatformProfile &profile) {
    platform_.reset();
    platform_ = std::make_unique<sim::Platform>(profile);
    LoadDriver();
  }
  void LoadDriver() {
    ASSERT_EQ(platform_->Load("PlatformConfigDxe").entryStatus, EFI_SUCCESS);
    config_ = simtest::Locate<PLATFORM_CONFIG_PROTOCOL>(*platform_, gPlatformConfigProtocolGuid);
    ASSERT_NE(config_, nullptr);
  }
  sim::Platform &platform() { return *platform_; }
  std::vector<uint8_t> Variable(const std::u16string &name, const EFI_GUID &guid) {
    const sim::Variable *variable = platform_->Variables().Find(name, guid);
    return variable == nullptr ? std::vector<uint8_t>{} : variable->data;
  }
  bool Exists(const std::u16string &name, const EFI_GUID &guid) {
    return platform_->Variables().Find(name, guid) != nullptr;
  }

  std::unique_ptr<sim::Platform> platform_;
  PLATFORM_CONFIG_PROTOCOL *config_ = nullptr;
};

}  // namespace configtest
