// The simulator's exit codes, and the error that means the user's input was wrong.
#pragma once

#include <stdexcept>

namespace simulator {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;  // the scenario or a driver failed
constexpr int kExitUsage = 2;   // usage or input error: nothing ran, no file changed

// A file or argument the command cannot use; reported and answered with kExitUsage.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace simulator
