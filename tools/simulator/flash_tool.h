// The offline flash-image tool: reads and changes the tag store and the power-event log
// in a flash image file, with no platform running.
#pragma once

#include <ostream>
#include <string>

#include "platform_sim/profile/platform_profile.h"

namespace simulator {

enum class FlashAction { Info, Dump, Log, LogProvision, LogAdd, LogClear };

struct FlashToolRequest {
  FlashAction action = FlashAction::Info;
  std::string file;  // the image; its size must be the profile's part size
  sim::PlatformProfile profile;
  bool json = false;
  std::string tag;    // dump
  std::string event;  // log add: 0-255, or start, s3, s4, s5
  std::string time;   // log add: "YYYY-MM-DD HH:MM:SS"; the profile's clock when empty
};

// Writes the answer to `out`; the file changes only for the log's writing actions.
// Throws InputError (exit 2) for a wrong file, tag, value or an unprovisioned log.
void RunFlashTool(const FlashToolRequest &request, std::ostream &out);

}  // namespace simulator
