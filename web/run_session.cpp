#include "run_session.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace ovrik::web {

void RunSession::load(const MemoryImage& image, std::uint8_t start) {
  machine_ = loadMachine(image, start);
  for (std::size_t port = 0; port < 2; ++port) {
    shown_[port].clear();
    shownTotal_[port] = 0;
    keyCameAt_[port].clear();
  }
  checkpoints_.clear();
}

// The end is worked out without adding to `steps`: a count of "no limit"
// (2^64 - 1) would wrap round to fewer steps than were done.
SliceEnd RunSession::run(std::uint64_t count, std::uint64_t until, bool leaveBreakpoint) {
  const std::uint64_t steps = machine_.steps;
  const std::uint64_t end = count < until - std::min(until, steps) ? steps + count : until;
  const bool watching = anyBreakpoint();
  bool first = true;
  while (!machine_.halted && machine_.steps < end) {
    checkpointIfDue();
    if (watching) {
      // Step by step, looking at each word before it runs.
      if (breakpoints_[machine_.pc] && !(first && leaveBreakpoint)) return SliceEnd::kBreakpoint;
      first = false;
      const SliceEnd ended = step();
      if (ended != SliceEnd::kStepped) return ended;
      continue;
    }
    // Up to the next checkpoint at the machine's own pace.
    const std::uint64_t nextCheckpoint = (machine_.steps / kCheckpointSteps + 1) * kCheckpointSteps;
    const RunResult ended = ovrik::run(machine_, std::min(end, nextCheckpoint));
    takeDisplays();
    if (ended.end == RunEnd::kWaitingForInput) return SliceEnd::kWaiting;
  }
  return machine_.halted ? SliceEnd::kHalted : SliceEnd::kStepLimit;
}

SliceEnd RunSession::step() {
  checkpointIfDue();
  return stepWithoutCopy();
}

// A run of one step, so that what it writes reaches the displays as in any run.
SliceEnd RunSession::stepWithoutCopy() {
  const RunResult ended = ovrik::run(machine_, machine_.steps + 1);
  takeDisplays();
  switch (ended.end) {
    case RunEnd::kHalted:
      return SliceEnd::kHalted;
    case RunEnd::kWaitingForInput:
      return SliceEnd::kWaiting;
    case RunEnd::kStepLimit:
    case RunEnd::kInterrupted:  // Stop is the page's, between slices
      break;
  }
  return SliceEnd::kStepped;
}

// Back to the copy before the target, then forward again one step at a time,
// each step with the keys that had come by then. Keys typed after the target
// stay typed: they wait from the target on.
bool RunSession::stepBack() {
  if (machine_.steps == 0) return false;
  const std::uint64_t target = machine_.steps - 1;
  while (!checkpoints_.empty() && checkpoints_.back().machine.steps > target)
    checkpoints_.pop_back();
  if (checkpoints_.empty()) return false;
  const Checkpoint& from = checkpoints_.back();
  std::array<std::string, 2> typed;
  for (std::size_t port = 0; port < 2; ++port) typed[port].swap(machine_.keyboards[port].queue);
  machine_ = from.machine;
  for (std::size_t port = 0; port < 2; ++port) {
    const std::uint64_t drop = shownTotal_[port] - from.shownTotal[port];
    const std::size_t kept = shown_[port].size();
    shown_[port].resize(kept - static_cast<std::size_t>(std::min<std::uint64_t>(drop, kept)));
    shownTotal_[port] = from.shownTotal[port];
  }
  giveKeysCameBy(machine_.steps, typed);
  while (machine_.steps < target) {
    if (stepWithoutCopy() != SliceEnd::kStepped && machine_.steps < target) break;
    giveKeysCameBy(machine_.steps, typed);
  }
  for (std::size_t port = 0; port < 2; ++port) {
    Keyboard& keyboard = machine_.keyboards[port];
    std::vector<std::uint64_t>& cameAt = keyCameAt_[port];
    for (std::size_t key = keyboard.queue.size(); key < cameAt.size(); ++key) {
      cameAt[key] = std::min(cameAt[key], machine_.steps);
    }
    keyboard.queue = std::move(typed[port]);
  }
  return true;
}

// The keys typed by the time `steps` steps were done go into the queues, in
// the order they came; they are the first bytes of `typed`.
void RunSession::giveKeysCameBy(std::uint64_t steps, std::array<std::string, 2>& typed) {
  for (std::size_t port = 0; port < 2; ++port) {
    std::string& queue = machine_.keyboards[port].queue;
    const std::vector<std::uint64_t>& cameAt = keyCameAt_[port];
    std::size_t given = queue.size();
    while (given < cameAt.size() && cameAt[given] <= steps) ++given;
    queue.append(typed[port], queue.size(), given - queue.size());
  }
}

std::uint64_t RunSession::stepsBack() const {
  if (checkpoints_.empty()) return 0;
  return machine_.steps - checkpoints_.front().machine.steps;
}

bool RunSession::key(std::size_t port, std::uint8_t byte) {
  if (keysWaiting(port).size() >= kKeysWaiting) return false;
  machine_.keyboards[port].queue.push_back(static_cast<char>(byte));
  keyCameAt_[port].push_back(machine_.steps);
  return true;
}

bool RunSession::unkey(std::size_t port) {
  Keyboard& keyboard = machine_.keyboards[port];
  if (!keyboard.ready()) return false;
  keyboard.queue.pop_back();
  keyCameAt_[port].pop_back();
  return true;
}

std::string_view RunSession::keysWaiting(std::size_t port) const {
  const Keyboard& keyboard = machine_.keyboards[port];
  return std::string_view(keyboard.queue).substr(std::min(keyboard.head, keyboard.queue.size()));
}

std::string_view RunSession::display(std::size_t port) const {
  const std::string_view shown = shown_[port];
  return shown.substr(shown.size() - std::min(shown.size(), kDisplayShows));
}

// The copy leaves the keys out: the queues are moved aside while the machine
// is copied, so that no key is ever copied, however many were typed.
void RunSession::checkpointIfDue() {
  if (machine_.steps % kCheckpointSteps != 0) return;
  if (!checkpoints_.empty() && checkpoints_.back().machine.steps == machine_.steps) return;
  std::array<std::string, 2> queues;
  for (std::size_t port = 0; port < 2; ++port) queues[port].swap(machine_.keyboards[port].queue);
  checkpoints_.push_back({machine_, shownTotal_});
  for (std::size_t port = 0; port < 2; ++port) queues[port].swap(machine_.keyboards[port].queue);
  if (checkpoints_.size() > kCheckpoints) {
    checkpoints_.pop_front();
    dropKeysNoStepReadsAgain();
  }
}

// Keys read before the oldest copy are never read again: once there are many,
// they go, and every head moves back by as many.
void RunSession::dropKeysNoStepReadsAgain() {
  for (std::size_t port = 0; port < 2; ++port) {
    const std::size_t read = checkpoints_.front().machine.keyboards[port].head;
    if (read < kKeysWaiting) continue;
    machine_.keyboards[port].queue.erase(0, read);
    machine_.keyboards[port].head -= read;
    keyCameAt_[port].erase(keyCameAt_[port].begin(),
                           keyCameAt_[port].begin() + static_cast<std::ptrdiff_t>(read));
    for (Checkpoint& checkpoint : checkpoints_) checkpoint.machine.keyboards[port].head -= read;
  }
}

void RunSession::takeDisplays() {
  for (std::size_t port = 0; port < 2; ++port) {
    std::string& received = machine_.displays[port].received;
    for (const char byte : received) show(port, static_cast<std::uint8_t>(byte));
    received.clear();
  }
}

// Twice what is shown is kept at most, so that the oldest bytes go in large
// pieces, not one by one.
void RunSession::show(std::size_t port, std::uint8_t byte) {
  std::string& shown = shown_[port];
  if (shown.size() >= 2 * kDisplayShows) shown.erase(0, shown.size() - kDisplayShows);
  shown.push_back(static_cast<char>(byte));
  ++shownTotal_[port];
}

bool RunSession::anyBreakpoint() const {
  return std::find(breakpoints_.begin(), breakpoints_.end(), true) != breakpoints_.end();
}

}  // namespace ovrik::web
