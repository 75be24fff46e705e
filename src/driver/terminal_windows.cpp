// The console on Windows: keys one at a time without echo through _getch,
// with Ctrl-C read as a key while the run lasts.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <conio.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "driver/terminal.hpp"

namespace ovrik {
namespace {

// Enter comes as a carriage return; programs get a line feed, as from a file.
char keyByte(int key) {
  return key == '\r' ? '\n' : static_cast<char>(key);
}

class ConsoleKeys final : public LiveKeys {
 public:
  ConsoleKeys(HANDLE input, DWORD mode) : input_(input), mode_(mode) {
    ::SetConsoleMode(input_, mode_ & ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT));
  }
  ~ConsoleKeys() override { ::SetConsoleMode(input_, mode_); }
  ConsoleKeys(const ConsoleKeys&) = delete;
  ConsoleKeys& operator=(const ConsoleKeys&) = delete;

  std::string waitForKeys() override {
    std::string keys(1, keyByte(::_getch()));
    return keys + typedKeys();
  }

  std::string typedKeys() override {
    std::string keys;
    while (::_kbhit() != 0) keys += keyByte(::_getch());
    return keys;
  }

 private:
  HANDLE input_;
  DWORD mode_;
};

}  // namespace

std::unique_ptr<LiveKeys> openLiveKeys() {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!::_isatty(::_fileno(stdin)) || !::GetConsoleMode(input, &mode)) return nullptr;
  return std::make_unique<ConsoleKeys>(input, mode);
}

}  // namespace ovrik
