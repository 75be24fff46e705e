// Standard input and Ctrl-C on POSIX systems: keys one at a time without echo
// at a terminal, in a mode that is put back on every way out of the program;
// SIGINT turned into a request the run answers; waits that wake on it.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>
#include <string>

#include "driver/terminal.hpp"

namespace ovrik {
namespace {

// What the signal handlers share with the run: a handler can reach nothing but
// what lives at file scope.
struct SignalState {
  termios mode{};  // the terminal's mode before the run
  volatile std::sig_atomic_t modeSaved = 0;
  volatile std::sig_atomic_t interrupted = 0;
  // The pipe a SIGINT writes a byte into, so that a wait for input wakes
  // however close to its start the signal came.
  int wakeRead = -1;
  int wakeWrite = -1;
};
SignalState signals;  // NOLINT: set up once per run, read by the signal handlers

constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGPIPE};
// A read takes what has come, up to this much: a program reads its keys one
// by one, and piped input is only read while the program waits.
constexpr std::size_t kReadSize = 4096;

extern "C" void noteInterrupt(int) {
  const int savedErrno = errno;
  signals.interrupted = 1;
  if (signals.wakeWrite >= 0) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(signals.wakeWrite, &byte, 1);
  }
  errno = savedErrno;
}

extern "C" void restoreAndEnd(int signal) {
  if (signals.modeSaved != 0) ::tcsetattr(STDIN_FILENO, TCSANOW, &signals.mode);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

class SignalInterruption final : public Interruption {
 public:
  SignalInterruption() {
    int wake[2];
    if (::pipe(wake) == 0) {
      for (const int end : wake) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, O_NONBLOCK);
      }
      signals.wakeRead = wake[0];
      signals.wakeWrite = wake[1];
    }
    signals.interrupted = 0;
    struct sigaction caught {};
    caught.sa_handler = noteInterrupt;
    sigemptyset(&caught.sa_mask);
    caught.sa_flags = SA_RESTART;  // writes to the display go on; poll wakes all the same
    ::sigaction(SIGINT, &caught, &before_);
    // A program started with Ctrl-C ignored (in the background of a script) keeps ignoring it.
    if (before_.sa_handler == SIG_IGN) ::sigaction(SIGINT, &before_, nullptr);
  }
  ~SignalInterruption() override {
    ::sigaction(SIGINT, &before_, nullptr);
    ::close(signals.wakeRead);
    ::close(signals.wakeWrite);
    signals.wakeRead = signals.wakeWrite = -1;
  }
  SignalInterruption(const SignalInterruption&) = delete;
  SignalInterruption& operator=(const SignalInterruption&) = delete;

  bool requested() const override { return signals.interrupted != 0; }

 private:
  struct sigaction before_ {};
};

// Waits until standard input has bytes or has ended, or a SIGINT came; gives
// what came (nothing at the end of the input or on a SIGINT).
std::string waitAndRead() {
  for (;;) {
    if (signals.interrupted != 0) return {};
    pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {signals.wakeRead, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return {};
    }
    if (watched[1].revents != 0) return {};
    if (watched[0].revents == 0) continue;
    char buffer[kReadSize];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count > 0) return std::string(buffer, static_cast<std::size_t>(count));
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return {};  // the end of the input, or a terminal that went away
  }
}

class PipedInput final : public KeySource {
 public:
  std::string waitForKeys() override { return waitAndRead(); }
  std::string typedKeys() override { return {}; }
};

class TerminalKeys final : public KeySource {
 public:
  explicit TerminalKeys(const termios& before) {
    signals.mode = before;
    signals.modeSaved = 1;
    for (const int signal : kEndingSignals) std::signal(signal, restoreAndEnd);
    const termios mode = runMode(before);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &mode);
  }
  ~TerminalKeys() override {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &signals.mode);
    signals.modeSaved = 0;
    for (const int signal : kEndingSignals) std::signal(signal, SIG_DFL);
  }
  TerminalKeys(const TerminalKeys&) = delete;
  TerminalKeys& operator=(const TerminalKeys&) = delete;

  std::string waitForKeys() override { return waitAndRead(); }

  std::string typedKeys() override {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, 0) <= 0) return {};
    return waitAndRead();
  }

 private:
  // No line editing and no echo. Ctrl-C still sends SIGINT, which ends the
  // run; Ctrl-Z, Ctrl-\ and Ctrl-S are keys for the program. Enter gives a
  // line feed whatever the terminal was set to, and output written before a
  // Ctrl-C is not thrown away.
  static termios runMode(const termios& before) {
    termios mode = before;
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    mode.c_lflag |= static_cast<tcflag_t>(ISIG | NOFLSH);
    mode.c_iflag &= ~static_cast<tcflag_t>(IXON | INLCR | IGNCR);
    mode.c_iflag |= static_cast<tcflag_t>(ICRNL);
    mode.c_cc[VQUIT] = _POSIX_VDISABLE;
    mode.c_cc[VSUSP] = _POSIX_VDISABLE;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    return mode;
  }
};

}  // namespace

std::unique_ptr<Interruption> catchInterrupts() {
  return std::make_unique<SignalInterruption>();
}

std::unique_ptr<KeySource> openStandardInput() {
  termios before{};
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &before) != 0) {
    return std::make_unique<PipedInput>();
  }
  return std::make_unique<TerminalKeys>(before);
}

bool isTerminal(StandardStream stream) {
  return ::isatty(static_cast<int>(stream)) != 0;
}

}  // namespace ovrik
