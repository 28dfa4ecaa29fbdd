// Small helpers shared by the tests that run images on the platform model.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"

namespace simtest {

// Calls a function an image published, on the current platform's engine.
template <typename Result, typename... Parameters, typename... Arguments>
Result Call(Result(EFIAPI *function)(Parameters...), Arguments... arguments) {
  return sim::Platform::Current().Call(function, arguments...);
}

template <typename T>
std::optional<T> ReadVariable(sim::Platform &platform, const std::u16string &name, const EFI_GUID &guid) {
  const sim::Variable *variable = platform.Variables().Find(name, guid);
  if (variable == nullptr || variable->data.size() != sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, variable->data.data(), sizeof(T));
  return value;
}

template <typename T>
void PutVariable(sim::Platform &platform, const std::u16string &name, const EFI_GUID &guid, const T &value) {
  sim::Variable variable{name, guid, EFI_VARIABLE_BOOTSERVICE_ACCESS, {}};
  const auto *bytes = reinterpret_cast<const uint8_t *>(&value);
  variable.data.assign(bytes, bytes + sizeof(T));
  platform.Variables().Put(variable);
}

template <typename T>
T *Locate(sim::Platform &platform, const EFI_GUID &guid) {
  void *interface = nullptr;
  platform.Core().Protocols().Locate(guid, nullptr, &interface);
  return static_cast<T *>(interface);
}

inline size_t CountEffects(sim::Platform &platform, sim::EffectKind kind, const std::string &actor = "") {
  auto effects = platform.Trace().OfKind(kind);
  return static_cast<size_t>(std::count_if(effects.begin(), effects.end(), [&](const sim::Effect &effect) {
    return actor.empty() || effect.actor == actor;
  }));
}

inline size_t IndexOf(const std::vector<std::string> &log, const std::string &entry) {
  auto it = std::find(log.begin(), log.end(), entry);
  return static_cast<size_t>(it - log.begin());
}

// Open events of an image that are registered for notifications of a protocol.
inline std::vector<const sim::EventRecord *> NotifyEvents(sim::Platform &platform, const std::string &owner,
                                                          const EFI_GUID &protocol) {
  std::vector<const sim::EventRecord *> result;
  for (const sim::EventRecord *event : platform.Core().Events().Open()) {
    auto registered = platform.Core().Protocols().NotifyProtocolOf(event->id);
    if (event->owner == owner && registered && sim::SameGuid(*registered, protocol)) result.push_back(event);
  }
  return result;
}

inline size_t CountCalls(sim::Platform &platform, const std::string &entry) {
  const auto &log = platform.Core().CallLog();
  return static_cast<size_t>(std::count(log.begin(), log.end(), entry));
}

// The pointer a pointer variable holds.
inline uint64_t PointerAt(uint64_t variable) {
  uint64_t value = 0;
  std::memcpy(&value, reinterpret_cast<const void *>(variable), sizeof(value));
  return value;
}

}  // namespace simtest
