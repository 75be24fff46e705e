#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/program.hpp"

namespace ovrik::testing {

// The real program, talked to while it runs: its standard input on a pipe or
// on a pseudo-terminal, standard output and standard error together on the
// other end. Every wait has a time limit, so a program that hangs fails the
// test instead of hanging it; one still running at the end is killed.
class LiveProgram {
 public:
  static constexpr std::chrono::seconds kPatience{10};

  // Standard input from a pipe; output and errors into another.
  static LiveProgram onPipes(const std::filesystem::path& folder,
                             const std::vector<std::string>& args) {
    int input[2];
    int output[2];
    if (::pipe(input) != 0 || ::pipe(output) != 0) throw std::runtime_error("no pipe");
    LiveProgram program;
    program.child_ = ::fork();
    if (program.child_ == 0) {
      ::dup2(input[0], 0);
      ::dup2(output[1], 1);
      ::dup2(output[1], 2);
      for (const int end : {input[0], input[1], output[0], output[1]}) ::close(end);
      start(folder, args);
    }
    ::close(input[0]);
    ::close(output[1]);
    program.toProgram_ = input[1];
    program.fromProgram_ = output[0];
    return program;
  }

  // All three standard streams on a new pseudo-terminal, the program's
  // controlling terminal, set up with `mode` (from the terminal's defaults).
  template <typename ChangeMode>
  static LiveProgram onTerminal(const std::filesystem::path& folder,
                                const std::vector<std::string>& args, ChangeMode changeMode) {
    LiveProgram program;
    int terminal = -1;
    if (::openpty(&program.toProgram_, &terminal, nullptr, nullptr, nullptr) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    termios mode{};
    ::tcgetattr(terminal, &mode);
    changeMode(mode);
    ::tcsetattr(terminal, TCSANOW, &mode);
    program.child_ = ::fork();
    if (program.child_ == 0) {
      ::setsid();
      ::ioctl(terminal, TIOCSCTTY, 0);
      for (const int stream : {0, 1, 2}) ::dup2(terminal, stream);
      ::close(terminal);
      ::close(program.toProgram_);
      start(folder, args);
    }
    program.fromProgram_ = program.toProgram_;
    program.terminal_ = terminal;  // kept open: its mode can be read after the program ends
    return program;
  }

  LiveProgram(LiveProgram&& other) noexcept { *this = std::move(other); }
  LiveProgram& operator=(LiveProgram&& other) noexcept {
    std::swap(child_, other.child_);
    std::swap(toProgram_, other.toProgram_);
    std::swap(fromProgram_, other.fromProgram_);
    std::swap(terminal_, other.terminal_);
    output_.swap(other.output_);
    return *this;
  }
  ~LiveProgram() {
    if (child_ > 0) {
      ::kill(child_, SIGKILL);
      ::waitpid(child_, nullptr, 0);
    }
    for (const int fd : {toProgram_, terminal_}) {
      if (fd >= 0) ::close(fd);
    }
    if (fromProgram_ >= 0 && fromProgram_ != toProgram_) ::close(fromProgram_);
  }

  void type(std::string_view bytes) {
    [[maybe_unused]] const ssize_t written = ::write(toProgram_, bytes.data(), bytes.size());
  }
  void signal(int number) const { ::kill(child_, number); }

  // Reads until the output holds text; false when it did not come in time.
  bool readUntil(std::string_view text) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (output_.find(text) == std::string::npos) {
      if (!readSome(deadline)) return false;
    }
    return true;
  }

  // Waits until the terminal is in the mode `inMode` tells, as the program sets it.
  template <typename InMode>
  bool waitForMode(InMode inMode) const {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    termios mode{};
    while (::tcgetattr(terminal_, &mode) == 0 && !inMode(mode)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  termios mode() const {
    termios mode{};
    ::tcgetattr(terminal_, &mode);
    return mode;
  }

  // Waits for the program to end and reads what it wrote until then; its exit
  // status, or -1 when it did not end in time (it is killed) or ended by a signal.
  int finish() {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    int status = 0;
    while (::waitpid(child_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      readSome(std::chrono::steady_clock::now() + std::chrono::milliseconds(5));
    }
    child_ = -1;
    while (readSome(std::chrono::steady_clock::now())) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& output() const { return output_; }

 private:
  LiveProgram() = default;

  [[noreturn]] static void start(const std::filesystem::path& folder,
                                 const std::vector<std::string>& args) {
    std::vector<std::string> command = programCommand();
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> arguments;
    for (std::string& word : command) arguments.push_back(word.data());
    arguments.push_back(nullptr);
    if (::chdir(folder.c_str()) == 0) ::execv(arguments[0], arguments.data());
    ::_exit(127);
  }

  // Reads what has come by the deadline; false when nothing came (or nothing more will).
  bool readSome(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd from{fromProgram_, POLLIN, 0};
    if (::poll(&from, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0))) <= 0) {
      return false;
    }
    char buffer[4096];
    const ssize_t count = ::read(fromProgram_, buffer, sizeof buffer);
    if (count <= 0) return false;
    output_.append(buffer, static_cast<std::size_t>(count));
    return true;
  }

  pid_t child_ = -1;
  int toProgram_ = -1;
  int fromProgram_ = -1;
  int terminal_ = -1;
  std::string output_;
};

}  // namespace ovrik::testing
