#include "platform_sim/engine/engine.h"

#include <cstdlib>
#include <cstring>

namespace sim {

Engine DefaultEngine() {
  const char *name = std::getenv("SIM_ENGINE");
  if (name != nullptr && std::strcmp(name, "emulated") == 0) return Engine::Emulated;
  return Engine::Host;
}

const char *EngineName(Engine engine) { return engine == Engine::Emulated ? "emulated" : "host"; }

}  // namespace sim
