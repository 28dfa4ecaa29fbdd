// The default story on both engines in one process: the host images and the shipped
// images must leave the same effect record, apart from where things lie in memory.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform_sim/platform.h"
#include "tools/simulator/scenario.h"

namespace {

std::vector<std::string> StoryRecord(sim::Engine engine) {
  sim::PlatformProfile profile = sim::DefaultPlatformProfile();
  profile.engine = engine;
  sim::Platform platform(profile);
  std::ostringstream log;
  EXPECT_TRUE(simulator::RunDefaultScenario(platform, log)) << log.str();
  // Addresses differ between a shared object and an image laid out in the arena.
  const std::regex address("0x[0-9A-Fa-f]{8,}");
  std::vector<std::string> record;
  for (const sim::Effect &effect : platform.Trace().All()) {
    record.push_back(std::to_string(effect.boot) + " " + sim::EffectKindName(effect.kind) + " " + effect.actor + " " +
                     std::regex_replace(effect.what, address, "<address>"));
  }
  return record;
}

TEST(TwoEngines, TheDefaultStoryLeavesTheSameEffectRecord) {
  const std::vector<std::string> host = StoryRecord(sim::Engine::Host);
  const std::vector<std::string> emulated = StoryRecord(sim::Engine::Emulated);
  ASSERT_GT(host.size(), 100u) << "the story ran";
  for (size_t index = 0; index < std::min(host.size(), emulated.size()); ++index) {
    ASSERT_EQ(host[index], emulated[index]) << "effect " << index;
  }
  EXPECT_EQ(host.size(), emulated.size());
}

}  // namespace
