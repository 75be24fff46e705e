// An exercise as the playground checks it: read once, then every check run on
// each new assembly, in slices of steps, so that the page can let the student
// type between two slices however long a check runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "assemble/assemble_source.hpp"
#include "exercises/exercise.hpp"
#include "exercises/grading.hpp"

namespace ovrik::web {

class ExerciseSession {
 public:
  // Reads an exercise, which replaces the one open; an error leaves none open.
  std::variant<const Exercise*, ExerciseError> open(std::string_view file);
  void close();
  const Exercise* exercise() const { return exercise_ ? &*exercise_ : nullptr; }

  // Every check afresh on this program: the last assembly's final state when
  // it assembled, else its error.
  void start(const AssemblyState* assembled, const Diagnostic* error);
  // Runs up to `steps` steps of the checks still running; true once every
  // check has its result.
  bool advance(std::uint64_t steps);

  // Each check's result so far: none for a check not run to its end yet.
  std::vector<std::optional<CheckResult>> results() const;

 private:
  std::optional<Exercise> exercise_;
  Submission submission_;
  std::vector<CheckRun> runs_;
  std::size_t running_ = 0;  // the first check without its result
};

}  // namespace ovrik::web
