// Running the machine's own tools from a test: a shell command with its exit status and
// output, and a scratch directory that is removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

namespace imagetest {

struct CommandResult {
  int status = -1;     // the command's exit status; -1 when it did not run or was killed
  std::string output;  // standard output and standard error together
};

// Runs `command` through /bin/sh.
CommandResult RunCommand(const std::string &command);

// A path as one shell word.
std::string ShellQuote(const std::filesystem::path &path);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::filesystem::path &Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace imagetest
