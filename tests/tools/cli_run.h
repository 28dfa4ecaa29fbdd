// Runs platform_sim_cli as a user would and keeps what it printed and its exit code;
// a scratch directory per test for profiles and flash images.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace cli_test {

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ReadText(const std::filesystem::path &path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) return "";
  std::string text(size, '\0');
  std::ifstream(path, std::ios::binary).read(text.data(), static_cast<std::streamsize>(size));
  return text;
}

inline void WriteText(const std::filesystem::path &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

class CliFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("sim_cli_") + info->test_suite_name() + "_" + info->name() + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string &name) const { return (dir_ / name).string(); }

  CliResult Run(const std::string &arguments) const {
    CliResult result;
    const std::string errFile = Path("stderr.txt");
    FILE *pipe = popen((std::string(SIM_CLI) + " " + arguments + " 2>" + errFile).c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), got);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadText(errFile);
    return result;
  }

  // Feeds a profile to `profile`, then feeds what it printed back in: both prints must
  // succeed and be the same text, which is returned.
  std::string RoundTripProfile(const std::string &profile) const {
    WriteText(Path("board.json"), profile);
    const CliResult first = Run("--profile " + Path("board.json") + " profile");
    EXPECT_EQ(first.exitCode, 0) << first.err;
    WriteText(Path("again.json"), first.out);
    const CliResult second = Run("--profile " + Path("again.json") + " profile");
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(first.out, second.out) << "what profile prints must read back as the same profile";
    return first.out;
  }

  std::filesystem::path dir_;
};

}  // namespace cli_test
