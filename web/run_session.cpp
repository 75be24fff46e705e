#include "run_session.hpp"

#include <algorithm>

namespace ovrik::web {

void RunSession::load(const MemoryImage& image, std::uint8_t start) {
  machine_ = loadMachine(image, start);
  for (std::size_t port = 0; port < 2; ++port) {
    shown_[port].clear();
    shownTotal_[port] = 0;
  }
  checkpoints_.clear();
}

SliceEnd RunSession::run(std::uint64_t count, std::uint64_t until, bool leaveBreakpoint) {
  const std::uint64_t end = std::min(until, machine_.steps + count);
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
  // A run of one step, so that what it writes reaches the displays as in any run.
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

bool RunSession::stepBack() {
  if (machine_.steps == 0) return false;
  const std::uint64_t target = machine_.steps - 1;
  while (!checkpoints_.empty() && checkpoints_.back().machine.steps > target)
    checkpoints_.pop_back();
  if (checkpoints_.empty()) return false;
  const Checkpoint& from = checkpoints_.back();
  // Keys typed since the copy was taken stay typed: the copy gives back only
  // how far the program had read them.
  std::array<std::string, 2> typed{machine_.keyboards[0].queue, machine_.keyboards[1].queue};
  machine_ = from.machine;
  for (std::size_t port = 0; port < 2; ++port) {
    machine_.keyboards[port].queue = std::move(typed[port]);
    const std::uint64_t drop = shownTotal_[port] - from.shownTotal[port];
    const std::size_t kept = shown_[port].size();
    shown_[port].resize(kept - static_cast<std::size_t>(std::min<std::uint64_t>(drop, kept)));
    shownTotal_[port] = from.shownTotal[port];
  }
  while (machine_.steps < target) {
    if (step() != SliceEnd::kStepped && machine_.steps < target) break;
  }
  return true;
}

std::uint64_t RunSession::stepsBack() const {
  if (checkpoints_.empty()) return 0;
  return machine_.steps - checkpoints_.front().machine.steps;
}

bool RunSession::unkey(std::size_t port) {
  Keyboard& keyboard = machine_.keyboards[port];
  if (!keyboard.ready()) return false;
  keyboard.queue.pop_back();
  return true;
}

std::string_view RunSession::keysWaiting(std::size_t port) const {
  const Keyboard& keyboard = machine_.keyboards[port];
  return std::string_view(keyboard.queue).substr(std::min(keyboard.head, keyboard.queue.size()));
}

void RunSession::checkpointIfDue() {
  if (machine_.steps % kCheckpointSteps != 0) return;
  if (!checkpoints_.empty() && checkpoints_.back().machine.steps == machine_.steps) return;
  checkpoints_.push_back({machine_, shownTotal_});
  // The copy holds no display bytes (they are taken at once) and only the keys
  // typed so far, which are few.
  if (checkpoints_.size() > kCheckpoints) checkpoints_.pop_front();
}

void RunSession::takeDisplays() {
  for (std::size_t port = 0; port < 2; ++port) {
    std::string& received = machine_.displays[port].received;
    for (const char byte : received) show(port, static_cast<std::uint8_t>(byte));
    received.clear();
  }
}

void RunSession::show(std::size_t port, std::uint8_t byte) {
  std::string& shown = shown_[port];
  if (shown.size() >= kDisplayKeeps) shown.erase(0, kDisplayKeeps / 2);
  shown.push_back(static_cast<char>(byte));
  ++shownTotal_[port];
}

bool RunSession::anyBreakpoint() const {
  return std::find(breakpoints_.begin(), breakpoints_.end(), true) != breakpoints_.end();
}

}  // namespace ovrik::web
