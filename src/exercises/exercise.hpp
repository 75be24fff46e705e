#pragma once

// Exercises: a task a teacher writes once in a TOML file, with the checks that
// tell whether a student's program does it. The same checks grade a class on
// the command line and check a student as they type in the playground.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ovrik {

inline constexpr std::uint64_t kDefaultCheckSteps = 100'000;
// Far beyond what any exercise needs (two seconds of the machine at full
// speed), so that a slip of a few zeros cannot make grading seem to hang.
inline constexpr std::uint64_t kMostCheckSteps = 1'000'000'000;

enum class ExpectedEnd : std::uint8_t { kHalted, kWaitingForInput };

// A word put at a label before a run, or expected there after it.
struct LabelledWord {
  std::string label;
  std::uint8_t value = 0;  // -128 to -1 in the file are kept as 128 to 255
};

// One run of the student's program on a fresh machine, and what must hold after it.
struct Check {
  std::string name;
  std::int32_t line = 0;  // the line of its [[check]] header
  std::vector<LabelledWord> set;
  std::vector<LabelledWord> expect;
  std::array<std::string, 2> input;                   // the keys of port 0 and port 1
  std::array<std::optional<std::string>, 2> display;  // exactly what each port must show
  ExpectedEnd ends = ExpectedEnd::kHalted;
  std::optional<std::string> start;  // a label, or an address in the word notation
  std::int64_t points = 1;
  std::uint64_t maxSteps = kDefaultCheckSteps;
};

struct Exercise {
  std::string title;
  std::string task;  // Markdown
  std::optional<std::string> starter;
  std::optional<int> maxWords;  // words the program may list, fillers not counted
  std::optional<int> maxPages;
  std::vector<Check> checks;
};

// What is wrong with an exercise file, shown as FILE:LINE: error: MESSAGE.
struct ExerciseError {
  std::int32_t line = 0;  // 0 when the fault is the file's as a whole
  std::string message;
};

// Reads an exercise file. Every key is known or the file is refused: a
// misspelt key never silently drops a check.
std::variant<Exercise, ExerciseError> readExercise(std::string_view bytes);

// The same check name in two files given together is refused like one named
// twice in a file: the reports name checks, and two alike could not be told apart.
std::optional<ExerciseError> findRepeatedCheck(const Exercise& earlier, const Exercise& later);

}  // namespace ovrik
