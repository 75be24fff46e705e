#pragma once

#include <memory>
#include <string>

namespace ovrik {

// Port 0's keys from outside the program: the keys typed at a terminal, or the
// bytes of standard input when that is a file or a pipe.
class KeySource {
 public:
  virtual ~KeySource() = default;
  // Waits until keys come, the input ends or the run is interrupted, and gives
  // the keys that came: none when the input ended or the run was interrupted.
  virtual std::string waitForKeys() = 0;
  // The keys typed so far, without waiting. Only a terminal gives any here:
  // piped input is read only when the program waits for a key, so that a
  // process answering the program's output is never asked for more first.
  virtual std::string typedKeys() = 0;
};

// Ctrl-C while a run lasts (SIGINT from the terminal or from kill, the
// Windows console's Ctrl-C and Ctrl-Break): it asks the run to end.
class Interruption {
 public:
  virtual ~Interruption() = default;
  virtual bool requested() const = 0;
};

// The platform's side, terminal_posix.cpp or terminal_windows.cpp.

// From now until the result is destroyed, Ctrl-C asks the run to end instead
// of ending the program, and wakes a KeySource of standard input that waits.
// Open it before standard input, so that Ctrl-C never finds the terminal in
// the run's mode with nothing to put it back.
std::unique_ptr<Interruption> catchInterrupts();

// Standard input as port 0's keys. At a terminal: each key as it is pressed,
// without echo, Enter as a line feed; the terminal's mode is put back when the
// result is destroyed, and on every way out of the program. Otherwise: the
// bytes as they come, unchanged.
std::unique_ptr<KeySource> openStandardInput();

enum class StandardStream : int { kOutput = 1, kErrors = 2 };
bool isTerminal(StandardStream stream);

}  // namespace ovrik
