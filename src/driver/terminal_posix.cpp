// The terminal on POSIX systems: keys one at a time without echo, in a mode
// that is put back on every way out of the program.
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

// The terminal's mode before the run, for the signal handler that puts it
// back when the program is ended from outside: a handler can reach nothing
// but what lives at file scope.
struct SavedMode {
  termios mode{};
  volatile std::sig_atomic_t saved = 0;
};
SavedMode savedMode;  // NOLINT: written once per run, read by the signal handler

constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGPIPE};

extern "C" void restoreAndEnd(int signal) {
  if (savedMode.saved != 0) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedMode.mode);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

std::string readKeys() {
  char buffer[256];
  for (;;) {
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count > 0) return std::string(buffer, static_cast<std::size_t>(count));
    // The terminal went away: end the run as Ctrl-C would.
    if (count == 0 || errno != EINTR) return std::string(1, '\x03');
  }
}

class TerminalKeys final : public LiveKeys {
 public:
  explicit TerminalKeys(const termios& before) {
    savedMode.mode = before;
    savedMode.saved = 1;
    for (const int signal : kEndingSignals) std::signal(signal, restoreAndEnd);
    termios raw = before;
    // No line editing and no echo; Ctrl-C, Ctrl-Z and Ctrl-S are keys for the
    // program, and Enter still gives a line feed.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  }
  ~TerminalKeys() override {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &savedMode.mode);
    savedMode.saved = 0;
    for (const int signal : kEndingSignals) std::signal(signal, SIG_DFL);
  }
  TerminalKeys(const TerminalKeys&) = delete;
  TerminalKeys& operator=(const TerminalKeys&) = delete;

  std::string waitForKeys() override { return readKeys(); }

  std::string typedKeys() override {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, 0) <= 0) return {};
    return readKeys();
  }
};

}  // namespace

std::unique_ptr<LiveKeys> openLiveKeys() {
  termios before{};
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &before) != 0) return nullptr;
  return std::make_unique<TerminalKeys>(before);
}


}  // namespace ovrik
