// Standard input and Ctrl-C on Windows: console keys one at a time without
// echo, piped bytes as they come, and the console's Ctrl-C and Ctrl-Break
// turned into a request the run answers; waits that wake on it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "driver/terminal.hpp"

namespace ovrik {
namespace {

// What the console's control handler shares with the run: the handler runs
// on a thread of its own and reaches nothing but what lives at file scope.
struct ControlState {
  volatile LONG interrupted = 0;
  HANDLE wake = nullptr;  // an event set on Ctrl-C, so that a wait for keys ends
};
ControlState control;  // NOLINT: set up once per run, written by the control handler

constexpr DWORD kReadSize = 4096;
// A pipe cannot be waited on together with the event: it is looked at this often.
constexpr DWORD kPipeLookMilliseconds = 10;

BOOL WINAPI noteInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  ::InterlockedExchange(&control.interrupted, 1);
  if (control.wake != nullptr) ::SetEvent(control.wake);
  return TRUE;
}

bool interrupted() {
  return ::InterlockedCompareExchange(&control.interrupted, 0, 0) != 0;
}

class ConsoleInterruption final : public Interruption {
 public:
  ConsoleInterruption() {
    control.interrupted = 0;
    control.wake = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(noteInterrupt, TRUE);
  }
  ~ConsoleInterruption() override {
    ::SetConsoleCtrlHandler(noteInterrupt, FALSE);
    if (control.wake != nullptr) ::CloseHandle(control.wake);
    control.wake = nullptr;
  }
  ConsoleInterruption(const ConsoleInterruption&) = delete;
  ConsoleInterruption& operator=(const ConsoleInterruption&) = delete;

  bool requested() const override { return interrupted(); }
};

// Enter comes as a carriage return; programs get a line feed, as on every system.
char keyByte(char key) {
  return key == '\r' ? '\n' : key;
}

class ConsoleKeys final : public KeySource {
 public:
  ConsoleKeys(HANDLE input, DWORD mode) : input_(input), mode_(mode) {
    // Ctrl-C goes to the control handler, not into the keys.
    ::SetConsoleMode(input_, mode_ | ENABLE_PROCESSED_INPUT);
  }
  ~ConsoleKeys() override { ::SetConsoleMode(input_, mode_); }
  ConsoleKeys(const ConsoleKeys&) = delete;
  ConsoleKeys& operator=(const ConsoleKeys&) = delete;

  std::string waitForKeys() override {
    for (;;) {
      if (interrupted()) return {};
      const HANDLE handles[2] = {input_, control.wake};
      const DWORD count = control.wake != nullptr ? 2 : 1;
      if (::WaitForMultipleObjects(count, handles, FALSE, INFINITE) == WAIT_FAILED) return {};
      std::string keys = typedKeys();
      if (!keys.empty()) return keys;
    }
  }

  // Takes every input record there is; only a key pressed with a character
  // gives bytes (shift, the arrows, the mouse and the focus give none).
  std::string typedKeys() override {
    std::string keys;
    DWORD pending = 0;
    while (::GetNumberOfConsoleInputEvents(input_, &pending) && pending > 0) {
      INPUT_RECORD record{};
      DWORD read = 0;
      if (!::ReadConsoleInputA(input_, &record, 1, &read) || read == 0) break;
      if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
      const char key = record.Event.KeyEvent.uChar.AsciiChar;
      if (key == 0) continue;
      keys.append(std::max<WORD>(record.Event.KeyEvent.wRepeatCount, 1), keyByte(key));
    }
    return keys;
  }

 private:
  HANDLE input_;
  DWORD mode_;
};

class PipedInput final : public KeySource {
 public:
  explicit PipedInput(HANDLE input)
      : input_(input), pipe_(::GetFileType(input) == FILE_TYPE_PIPE) {}

  std::string waitForKeys() override {
    DWORD wanted = kReadSize;
    if (pipe_) {
      const DWORD available = waitForBytes();
      if (interrupted()) return {};
      if (available > 0) wanted = std::min(available, kReadSize);
    }
    char buffer[kReadSize];
    DWORD count = 0;
    if (!::ReadFile(input_, buffer, wanted, &count, nullptr) || count == 0) return {};
    return std::string(buffer, count);
  }

  std::string typedKeys() override { return {}; }

 private:
  // How many bytes the pipe holds once it holds any; 0 when it can no longer
  // be looked into (it was closed: the read then finds its end).
  DWORD waitForBytes() const {
    for (;;) {
      DWORD available = 0;
      if (!::PeekNamedPipe(input_, nullptr, 0, nullptr, &available, nullptr)) return 0;
      if (available > 0 || interrupted()) return available;
      if (control.wake != nullptr) {
        ::WaitForSingleObject(control.wake, kPipeLookMilliseconds);
      } else {
        ::Sleep(kPipeLookMilliseconds);
      }
    }
  }

  HANDLE input_;
  bool pipe_;
};

}  // namespace

std::unique_ptr<Interruption> catchInterrupts() {
  return std::make_unique<ConsoleInterruption>();
}

std::unique_ptr<KeySource> openStandardInput() {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!::GetConsoleMode(input, &mode)) return std::make_unique<PipedInput>(input);
  return std::make_unique<ConsoleKeys>(input, mode);
}

bool isTerminal(StandardStream stream) {
  const HANDLE handle =
      ::GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace ovrik
