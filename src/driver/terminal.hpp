#pragma once

#include <memory>
#include <string>

namespace ovrik {

// Keys typed at a terminal, handed over as they are pressed: no Enter needed,
// no echo. The terminal is put back as it was when this is destroyed.
class LiveKeys {
 public:
  virtual ~LiveKeys() = default;
  // Waits for a key, then gives every key typed so far; Enter gives a line feed.
  virtual std::string waitForKeys() = 0;
  // The keys typed so far, without waiting: often none.
  virtual std::string typedKeys() = 0;
};

// The platform's terminal, terminal_posix.cpp or terminal_windows.cpp: the
// keys of standard input when it is a terminal, else null.
std::unique_ptr<LiveKeys> openLiveKeys();


}  // namespace ovrik
