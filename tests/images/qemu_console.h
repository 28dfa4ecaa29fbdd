// A virtual machine driven through its serial console: qemu runs as a child with the
// serial port on a pair of pipes, the test waits for text to appear (never for a fixed
// time) and types lines. The machine is killed when the object goes, and with the test
// process if that dies first.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace imagetest {

// A match on the console: the whole match, then each group.
using Match = std::vector<std::string>;

class QemuConsole {
 public:
  // argv[0] is the program; the serial console must be on stdio.
  explicit QemuConsole(const std::vector<std::string> &argv);
  ~QemuConsole();
  QemuConsole(const QemuConsole &) = delete;
  QemuConsole &operator=(const QemuConsole &) = delete;

  bool Started() const { return pid_ > 0; }
  // Reads the console until `pattern` matches text not yet consumed, the machine exits,
  // or `timeout` passes. On a match, the text up to the end of the match is consumed and
  // the match is returned.
  std::optional<Match> WaitFor(const std::regex &pattern, std::chrono::milliseconds timeout);
  std::optional<Match> WaitFor(const std::string &text, std::chrono::milliseconds timeout);
  // Types `text` into the console.
  bool Send(const std::string &text);
  // Everything the machine has written so far.
  const std::string &Transcript() const { return transcript_; }
  bool Exited() const { return exited_; }

 private:
  // Waits up to `timeout` for output and appends it; false when the machine has gone.
  bool ReadSome(std::chrono::milliseconds timeout);
  // Matches `pattern` against the unconsumed text, consuming through the match.
  std::optional<Match> TryMatch(const std::regex &pattern);
  void Stop();

  pid_t pid_ = -1;
  int toMachine_ = -1;
  int fromMachine_ = -1;
  bool exited_ = false;
  std::string transcript_;
  size_t consumed_ = 0;  // offset in transcript_ of the first unconsumed byte
};

}  // namespace imagetest
