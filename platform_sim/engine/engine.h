// The two ways the platform runs an image: the host image (a shared object of the same
// sources) on the host CPU, or the shipped PE32+ file on the emulated CPU.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sim {

enum class Engine { Host, Emulated };

// The engine a platform uses unless its profile says otherwise: SIM_ENGINE=emulated or
// SIM_ENGINE=host in the environment (how the test suite runs each scenario on both),
// the host engine when unset.
Engine DefaultEngine();
const char *EngineName(Engine engine);

// A fault inside an emulated image: an access to unmapped memory, an invalid
// instruction, a jump to nowhere, or the instruction budget spent. The image's call
// ends; the platform reports it and carries on.
class ImageFault : public std::runtime_error {
 public:
  ImageFault(std::string what, std::string image, uint64_t rip, uint64_t offset, uint64_t address)
      : std::runtime_error(std::move(what)), image_(std::move(image)), rip_(rip), offset_(offset), address_(address) {}
  const std::string &Image() const { return image_; }
  uint64_t Rip() const { return rip_; }
  uint64_t Offset() const { return offset_; }    // of RIP in the image
  uint64_t Address() const { return address_; }  // the faulting address

 private:
  std::string image_;
  uint64_t rip_;
  uint64_t offset_;
  uint64_t address_;
};

}  // namespace sim
