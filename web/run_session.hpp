// A run of the machine as the playground drives it: in slices of many steps,
// one step at a time, or backwards. The page keeps the machine's history only
// as copies of the whole machine every kCheckpointSteps steps; a step back
// goes to the nearest copy before and steps forward again from there, which
// costs nothing while the program runs at full speed. Every key is kept with
// the step at which it was typed, so the steps taken again see exactly the
// keys they saw the first time, whatever was typed since.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

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
  // What a display shows of its bytes: the last 64 KiB; the page counts the rest.
  static constexpr std::size_t kDisplayShows = 64 << 10;
  // The keys a keyboard holds that the program has not read: a paste beyond
  // this is cut, and the page says so.
  static constexpr std::size_t kKeysWaiting = 64 << 10;

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

  // Queues a key typed now; false when the keyboard already holds
  // kKeysWaiting keys not read, and the key is dropped.
  bool key(std::size_t port, std::uint8_t byte);
  // Drops the last key typed that the program has not read; false when none.
  bool unkey(std::size_t port);
  std::string_view keysWaiting(std::size_t port) const;

  void setBreakpoint(std::uint8_t address, bool on) { breakpoints_[address] = on; }
  void clearBreakpoints() { breakpoints_.fill(false); }

  const Machine& machine() const { return machine_; }
  // The last kDisplayShows bytes the display received.
  std::string_view display(std::size_t port) const;
  // Every byte the display received since the load, kept or not.
  std::uint64_t displayTotal(std::size_t port) const { return shownTotal_[port]; }

 private:
  // A copy of the machine without its keyboards' bytes (the heads say how
  // far they were read): the keys are kept once, in the machine, with the
  // step at which each came.
  struct Checkpoint {
    Machine machine;
    std::array<std::uint64_t, 2> shownTotal{};
  };

  SliceEnd stepWithoutCopy();
  void checkpointIfDue();
  void dropKeysNoStepReadsAgain();
  void giveKeysCameBy(std::uint64_t steps, std::array<std::string, 2>& typed);
  void takeDisplays();
  void show(std::size_t port, std::uint8_t byte);
  bool anyBreakpoint() const;

  Machine machine_;
  // For each byte of a keyboard's queue, the step count when it was typed: a
  // step back replays every step with the keys that had come by then.
  std::array<std::vector<std::uint64_t>, 2> keyCameAt_;
  std::array<std::string, 2> shown_;
  std::array<std::uint64_t, 2> shownTotal_{};
  std::deque<Checkpoint> checkpoints_;
  std::array<bool, kMemoryWords> breakpoints_{};
};

}  // namespace ovrik::web
