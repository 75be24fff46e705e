// A run of the machine as the playground drives it: in slices of many steps,
// one step at a time, or backwards. The page keeps the machine's history only
// as copies of the whole machine every kCheckpointSteps steps; a step back
// goes to the nearest copy before and steps forward again from there, which
// costs nothing while the program runs at full speed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "machine/machine.hpp"

namespace ovrik::web {

enum class SliceEnd : std::uint8_t {
  kStepLimit = 0,  // the slice's steps are done, or the run's step limit is reached
  kHalted = 1,
  kWaiting = 2,     // a keyboard skip found its queue empty
  kBreakpoint = 3,  // the next word to run has a breakpoint
  kStepped = 4,     // one step was done, and the run can go on
};

class RunSession {
 public:
  static constexpr std::uint64_t kCheckpointSteps = 128;
  // Enough copies that at least 1,000 steps can always be taken back.
  static constexpr std::size_t kCheckpoints = 10;
  // What a display keeps of its bytes; the oldest go first.
  static constexpr std::size_t kDisplayKeeps = 1 << 20;

  // A fresh machine on this image, at `start`, as at power-on: no keys, no
  // display output, no history.
  void load(const MemoryImage& image, std::uint8_t start);

  // Up to `count` steps and never beyond step `until` in all; stops before a
  // word with a breakpoint, except the very first one when `leaveBreakpoint`
  // is set (Run from where a breakpoint stopped).
  SliceEnd run(std::uint64_t count, std::uint64_t until, bool leaveBreakpoint);
  // One step, breakpoints aside: kStepped, or how the run ended with it.
  SliceEnd step();
  // Takes the last step back; false when there is none left to take.
  bool stepBack();
  std::uint64_t stepsBack() const;

  void key(std::size_t port, std::uint8_t byte) {
    machine_.keyboards[port].give(std::string(1, static_cast<char>(byte)));
  }
  // Drops the last key typed that the program has not read; false when none.
  bool unkey(std::size_t port);
  std::string_view keysWaiting(std::size_t port) const;

  void setBreakpoint(std::uint8_t address, bool on) { breakpoints_[address] = on; }
  void clearBreakpoints() { breakpoints_.fill(false); }

  const Machine& machine() const { return machine_; }
  const std::string& display(std::size_t port) const { return shown_[port]; }
  // Every byte the display received since the load, kept or not.
  std::uint64_t displayTotal(std::size_t port) const { return shownTotal_[port]; }

 private:
  struct Checkpoint {
    Machine machine;
    std::array<std::uint64_t, 2> shownTotal{};
  };

  void checkpointIfDue();
  void takeDisplays();
  void show(std::size_t port, std::uint8_t byte);
  bool anyBreakpoint() const;

  Machine machine_;
  std::array<std::string, 2> shown_;
  std::array<std::uint64_t, 2> shownTotal_{};
  std::deque<Checkpoint> checkpoints_;
  std::array<bool, kMemoryWords> breakpoints_{};
};

}  // namespace ovrik::web
