#pragma once

// Grading: a student's source assembled once in memory, then every check of an
// exercise run on a fresh machine loaded from it. Nothing is written anywhere.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "assemble/assemble_source.hpp"
#include "exercises/exercise.hpp"
#include "machine/machine.hpp"

namespace ovrik {

// A source for this machine is a few kilobytes; a file this large is something
// else handed in by mistake, and is refused rather than assembled.
inline constexpr std::size_t kLargestSubmission = 256 * 1024;

// A student's program, ready for any number of checks.
struct Submission {
  // Why no check can pass, when none can (the source does not assemble, say):
  // every check fails with this line.
  std::optional<std::string> refusal;
  MemoryImage image;
  Machine loaded;  // memory and PC as a run starts
  int words = 0;   // the words its listing shows, fillers not counted
  int pages = 0;   // the pages its listing shows
  // The labels of variables and constants no instruction uses: the assembler
  // leaves them out, which a student looking for them should be told.
  std::vector<std::string> unusedLabels;
};

// A source's bytes, assembled here.
Submission prepareSubmission(std::string_view source);
// A program assembled elsewhere (the playground's last assembly).
Submission prepareSubmission(const AssemblyState& assembled);
// A source that did not assemble: every check fails with its error.
Submission unassembledSubmission(const Diagnostic* error);
// One that no check can pass, for the reason given.
Submission refusedSubmission(std::string refusal);

struct CheckResult {
  bool passed = false;
  std::vector<std::string> differences;  // what differed, one line each; none when passed
  std::uint64_t steps = 0;
};

// One check on a fresh machine, run in slices so that whoever runs it (the
// playground between two keystrokes) can do other work in between.
class CheckRun {
 public:
  CheckRun(const Submission& submission, const Exercise& exercise, const Check& check);

  // Runs up to `steps` more steps; true once the check has its result.
  bool advance(std::uint64_t steps);
  bool ended() const { return ended_; }
  std::uint64_t steps() const { return machine_.steps; }
  CheckResult result() const;

 private:
  void findLimitsExceeded(const Submission& submission, const Exercise& exercise);
  void prepareMachine(const Submission& submission);
  std::optional<std::uint8_t> addressOfLabel(const Submission& submission, std::string_view label);
  void compareEnd(std::vector<std::string>& differences) const;

  const Check& check_;
  std::vector<std::string> faults_;  // found before the run: the run is not made
  Machine machine_;
  std::vector<std::uint8_t> expectAt_;  // the address of each expect label
  RunEnd end_ = RunEnd::kStepLimit;
  bool ended_ = false;
};

// A whole check, run to its end.
CheckResult runCheck(const Submission& submission, const Exercise& exercise, const Check& check);

// Every check of every exercise on one source, in order.
struct Grade {
  struct Item {
    const Check* check = nullptr;
    CheckResult result;
  };
  std::vector<Item> items;
  int passed = 0;
  std::int64_t points = 0;
  std::int64_t maxPoints = 0;
  std::uint64_t steps = 0;
  int words = 0;
};

Grade gradeSubmission(std::span<const Exercise> exercises, const Submission& submission);

}  // namespace ovrik
