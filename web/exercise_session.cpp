#include "exercise_session.hpp"

#include <algorithm>
#include <utility>

namespace ovrik::web {

std::variant<const Exercise*, ExerciseError> ExerciseSession::open(std::string_view file) {
  close();
  auto read = readExercise(file);
  if (auto* error = std::get_if<ExerciseError>(&read)) return std::move(*error);
  exercise_ = std::move(std::get<Exercise>(read));
  return &*exercise_;
}

void ExerciseSession::close() {
  runs_.clear();  // each run refers to a check of the exercise
  running_ = 0;
  exercise_.reset();
}

void ExerciseSession::start(const AssemblyState* assembled, const Diagnostic* error) {
  runs_.clear();
  running_ = 0;
  if (!exercise_) return;
  submission_ = assembled != nullptr ? prepareSubmission(*assembled) : unassembledSubmission(error);
  runs_.reserve(exercise_->checks.size());
  for (const Check& check : exercise_->checks) runs_.emplace_back(submission_, *exercise_, check);
}

bool ExerciseSession::advance(std::uint64_t steps) {
  while (running_ < runs_.size()) {
    CheckRun& run = runs_[running_];
    const std::uint64_t before = run.steps();
    if (!run.advance(steps)) return false;
    steps -= std::min(steps, run.steps() - before);
    ++running_;
    if (steps == 0) return running_ == runs_.size();
  }
  return true;
}

std::vector<std::optional<CheckResult>> ExerciseSession::results() const {
  std::vector<std::optional<CheckResult>> results;
  for (const CheckRun& run : runs_) {
    results.push_back(run.ended() ? std::optional(run.result()) : std::nullopt);
  }
  return results;
}

}  // namespace ovrik::web
