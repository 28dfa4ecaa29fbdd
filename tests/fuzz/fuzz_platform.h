// One platform for a whole fuzzing run: building a platform and loading an image per
// input would cost milliseconds, so the harness keeps one and resets what an input
// changes. The probe image carries the tag store and the flash layer, built with
// coverage instrumentation.
#pragma once

#include <memory>
#include <vector>

#include "platform_sim/flash/flash_platforms.h"
#include "platform_sim/platform.h"
#include "tests/images/tag_store_probe.h"

namespace fuzz {

class ProbePlatform {
 public:
  // A platform with the shipped SPI flash and the probe loaded.
  static ProbePlatform &Get();

  sim::Platform &Platform() { return *platform_; }
  TAG_STORE_PROBE &Probe() { return *probe_; }

  // Drops what earlier inputs left in the effect record, the call log, the trace hub
  // and the platform-owned copies of PCD values, so a long run keeps a small footprint
  // (the post-code history of the platform still grows by a few bytes per input).
  void Tidy();

 private:
  ProbePlatform();
  std::unique_ptr<sim::Platform> platform_;
  TAG_STORE_PROBE *probe_ = nullptr;
};

}  // namespace fuzz
