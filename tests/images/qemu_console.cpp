#include "tests/images/qemu_console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace imagetest {

namespace {

using Clock = std::chrono::steady_clock;

std::string EscapeForRegex(const std::string &text) {
  static const std::string special = R"(\^$.|?*+()[]{})";
  std::string escaped;
  for (char c : text) {
    if (special.find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace

QemuConsole::QemuConsole(const std::vector<std::string> &argv) {
  int input[2];
  int output[2];
  if (pipe2(input, O_CLOEXEC) != 0) return;
  if (pipe2(output, O_CLOEXEC) != 0) {
    close(input[0]);
    close(input[1]);
    return;
  }
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    // The machine dies with the test, however the test ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(input[0], STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    dup2(output[1], STDERR_FILENO);
    std::vector<char *> args;
    for (const std::string &arg : argv) args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(input[0]);
  close(output[1]);
  if (pid < 0) {
    close(input[1]);
    close(output[0]);
    return;
  }
  pid_ = pid;
  toMachine_ = input[1];
  fromMachine_ = output[0];
  // A machine that stopped reading must not block the test in write().
  signal(SIGPIPE, SIG_IGN);
}

QemuConsole::~QemuConsole() { Stop(); }

void QemuConsole::Stop() {
  if (toMachine_ >= 0) close(toMachine_);
  if (fromMachine_ >= 0) close(fromMachine_);
  toMachine_ = fromMachine_ = -1;
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  exited_ = true;
}

bool QemuConsole::ReadSome(std::chrono::milliseconds timeout) {
  if (fromMachine_ < 0) return false;
  pollfd ready{fromMachine_, POLLIN, 0};
  int count = poll(&ready, 1, static_cast<int>(timeout.count()));
  if (count < 0) return errno == EINTR;
  if (count == 0) return true;
  std::array<char, 4096> buffer{};
  ssize_t got = read(fromMachine_, buffer.data(), buffer.size());
  if (got < 0) return errno == EINTR || errno == EAGAIN;
  if (got == 0) {
    // End of output: the machine has exited (or closed its console).
    Stop();
    return false;
  }
  transcript_.append(buffer.data(), static_cast<size_t>(got));
  return true;
}

std::optional<Match> QemuConsole::TryMatch(const std::regex &pattern) {
  const std::string unconsumed = transcript_.substr(consumed_);
  std::smatch match;
  if (!std::regex_search(unconsumed, match, pattern)) return std::nullopt;
  consumed_ += static_cast<size_t>(match.position(0) + match.length(0));
  return Match(match.begin(), match.end());
}

std::optional<Match> QemuConsole::WaitFor(const std::regex &pattern, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    if (std::optional<Match> match = TryMatch(pattern)) return match;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return std::nullopt;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    // Nothing more will come once the machine has gone: one last look at what did.
    if (!ReadSome(std::min(left, std::chrono::milliseconds(500)))) return TryMatch(pattern);
  }
}

std::optional<Match> QemuConsole::WaitFor(const std::string &text, std::chrono::milliseconds timeout) {
  return WaitFor(std::regex(EscapeForRegex(text)), timeout);
}

bool QemuConsole::Send(const std::string &text) {
  size_t sent = 0;
  while (sent < text.size()) {
    if (toMachine_ < 0) return false;
    ssize_t put = write(toMachine_, text.data() + sent, text.size() - sent);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    sent += static_cast<size_t>(put);
  }
  return true;
}

}  // namespace imagetest
