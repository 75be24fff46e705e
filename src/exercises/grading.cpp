// Grading a student's program: assemble it once, then run each check on a
// fresh machine and say, one line each, what differed from what the exercise
// expects. A program that loops costs its step limit and no more.
#include "exercises/grading.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "assemble/assemble_source.hpp"
#include "exercises/shown_bytes.hpp"
#include "machine/load.hpp"
#include "machine/machine.hpp"
#include "tables/tables.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

// Outputs longer than this are shown cut, with their length: a looping
// program can fill a display with thousands of bytes.
constexpr std::size_t kLongestShownOutput = 64;

std::optional<std::string> refusalOfBytes(std::string_view source);
std::string located(std::int32_t line, std::string_view message);
std::string address(std::uint8_t value);
std::string shownOutput(std::string_view bytes);

}  // namespace

Submission prepareSubmission(std::string_view source) {
  if (std::optional<std::string> refusal = refusalOfBytes(source)) {
    return refusedSubmission(std::move(*refusal));
  }
  const Assembly assembly = assembleSource(source);
  if (!assembly.ok) return unassembledSubmission(assembly.error());
  return prepareSubmission(*assembly.state);
}

Submission prepareSubmission(const AssemblyState& assembled) {
  auto loaded = loadToRun(assembled);
  if (const auto* refusal = std::get_if<LoadRefusal>(&loaded)) {
    return refusedSubmission(located(refusal->line, refusal->message));
  }
  Submission submission;
  Program& program = std::get<Program>(loaded);
  submission.loaded = loadMachine(program.image, program.start);
  submission.image = std::move(program.image);
  for (const TableId table : {kVariableTable, kConstantTable}) {
    for (std::int16_t index = 0; index < assembled.count(table); ++index) {
      submission.unusedLabels.push_back(
          assembled.table(table)[static_cast<std::size_t>(index)].label.str());
    }
  }
  for (std::int16_t page = assembled.firstPage; page <= assembled.lastPage; ++page) {
    ++submission.pages;
  }
  submission.words = static_cast<int>(std::count_if(
      submission.image.words.begin(), submission.image.words.end(),
      [](const ImageWord& word) { return word.listed && word.kind != WordKind::kFiller; }));
  return submission;
}

Submission unassembledSubmission(const Diagnostic* error) {
  if (error == nullptr) return refusedSubmission("does not assemble");
  return refusedSubmission("does not assemble: " + located(error->line, error->message));
}

Submission refusedSubmission(std::string refusal) {
  Submission submission;
  submission.refusal = std::move(refusal);
  return submission;
}

CheckRun::CheckRun(const Submission& submission, const Exercise& exercise, const Check& check)
    : check_(check) {
  if (submission.refusal) {
    faults_.push_back(*submission.refusal);
  } else {
    findLimitsExceeded(submission, exercise);
    if (faults_.empty()) prepareMachine(submission);
  }
  ended_ = !faults_.empty();
}

bool CheckRun::advance(std::uint64_t steps) {
  if (ended_) return true;
  const std::uint64_t limit =
      machine_.steps + std::min(steps, check_.maxSteps - std::min(check_.maxSteps, machine_.steps));
  end_ = run(machine_, limit).end;
  ended_ = end_ != RunEnd::kStepLimit || machine_.steps >= check_.maxSteps;
  return ended_;
}

CheckResult CheckRun::result() const {
  CheckResult result;
  if (!faults_.empty()) {
    result.differences = faults_;
    return result;
  }
  result.steps = machine_.steps;
  compareEnd(result.differences);
  for (std::size_t at = 0; at < check_.expect.size(); ++at) {
    const LabelledWord& expected = check_.expect[at];
    const std::uint8_t got = machine_.memory[expectAt_[at]];
    if (got != expected.value) {
      result.differences.push_back(printableText(expected.label) + ": expected " +
                                   address(expected.value) + ", got " + address(got));
    }
  }
  for (std::size_t port = 0; port < check_.display.size(); ++port) {
    const std::optional<std::string>& expected = check_.display[port];
    const std::string& got = machine_.displays[port].received;
    if (expected && *expected != got) {
      result.differences.push_back((port == 0 ? "display: expected " : "display1: expected ") +
                                   shownOutput(*expected) + ", got " + shownOutput(got));
    }
  }
  result.passed = result.differences.empty();
  return result;
}

void CheckRun::findLimitsExceeded(const Submission& submission, const Exercise& exercise) {
  if (exercise.maxWords && submission.words > *exercise.maxWords) {
    faults_.push_back("uses " + std::to_string(submission.words) + " words, at most " +
                      std::to_string(*exercise.maxWords));
  }
  if (exercise.maxPages && submission.pages > *exercise.maxPages) {
    faults_.push_back("uses " + std::to_string(submission.pages) + " pages, at most " +
                      std::to_string(*exercise.maxPages));
  }
}

// Memory as the program loads it, the exercise's words at their labels, PC
// where the check starts, and the keys of both ports queued.
void CheckRun::prepareMachine(const Submission& submission) {
  machine_ = submission.loaded;
  if (check_.start) {
    const int value = wordValue(*check_.start);
    const std::optional<std::uint8_t> start = value >= 0
                                                  ? std::optional(static_cast<std::uint8_t>(value))
                                                  : addressOfLabel(submission, *check_.start);
    if (start) machine_.pc = *start;
  }
  for (const LabelledWord& word : check_.set) {
    if (const std::optional<std::uint8_t> at = addressOfLabel(submission, word.label)) {
      machine_.memory[*at] = word.value;
    }
  }
  for (const LabelledWord& word : check_.expect) {
    expectAt_.push_back(addressOfLabel(submission, word.label).value_or(0));
  }
  for (std::size_t port = 0; port < check_.input.size(); ++port) {
    machine_.keyboards[port].give(check_.input[port]);
  }
}

// The lowest listed word with that label; a label the program lacks fails the check.
std::optional<std::uint8_t> CheckRun::addressOfLabel(const Submission& submission,
                                                     std::string_view label) {
  const auto& words = submission.image.words;
  const auto found = std::find_if(words.begin(), words.end(), [&](const ImageWord& word) {
    return word.listed && word.label == label;
  });
  if (found != words.end()) return addressOf(submission.image, *found);
  std::string fault = "the program has no label " + printableText(label);
  const auto& unused = submission.unusedLabels;
  if (std::find(unused.begin(), unused.end(), label) != unused.end()) {
    fault += " (no instruction uses it, so the assembler leaves it out)";
  }
  if (std::find(faults_.begin(), faults_.end(), fault) == faults_.end()) faults_.push_back(fault);
  return std::nullopt;
}

void CheckRun::compareEnd(std::vector<std::string>& differences) const {
  const bool wantsHalt = check_.ends == ExpectedEnd::kHalted;
  switch (end_) {
    case RunEnd::kHalted:
      if (!wantsHalt) {
        differences.push_back("halted at " + address(machine_.haltedAt) +
                              " instead of waiting for input");
      }
      return;
    case RunEnd::kWaitingForInput:
      if (wantsHalt) differences.push_back("waiting for input at " + address(machine_.pc));
      return;
    case RunEnd::kStepLimit:
    case RunEnd::kInterrupted:  // a check is never interrupted
      break;
  }
  differences.push_back(std::string(wantsHalt ? "did not halt" : "did not wait for input") +
                        " within " + std::to_string(check_.maxSteps) + " steps (at " +
                        address(machine_.pc) + ")");
}

CheckResult runCheck(const Submission& submission, const Exercise& exercise, const Check& check) {
  CheckRun run(submission, exercise, check);
  run.advance(check.maxSteps);
  return run.result();
}

Grade gradeSubmission(std::span<const Exercise> exercises, const Submission& submission) {
  Grade grade;
  grade.words = submission.words;
  for (const Exercise& exercise : exercises) {
    for (const Check& check : exercise.checks) {
      Grade::Item item{&check, runCheck(submission, exercise, check)};
      grade.passed += item.result.passed ? 1 : 0;
      grade.points += item.result.passed ? check.points : 0;
      grade.maxPoints += check.points;
      grade.steps += item.result.steps;
      grade.items.push_back(std::move(item));
    }
  }
  return grade;
}

namespace {

// A file that cannot be a source fails with a line that says so, before the
// assembler makes some message of its bytes.
std::optional<std::string> refusalOfBytes(std::string_view source) {
  if (source.size() > kLargestSubmission) {
    return "not a source: larger than the " + std::to_string(kLargestSubmission / 1024) +
           " KiB a source may have";
  }
  const std::size_t nul = source.find('\0');
  if (nul != std::string_view::npos) {
    return "not a source: byte " + std::to_string(nul + 1) + " is a NUL, as in a binary file";
  }
  return std::nullopt;
}

std::string located(std::int32_t line, std::string_view message) {
  const std::string where = line > 0 ? "line " + std::to_string(line) + ": " : "";
  return where + printableText(message);
}

std::string address(std::uint8_t value) {
  return wordText(static_cast<std::int16_t>(value));
}

std::string shownOutput(std::string_view bytes) {
  if (bytes.size() <= kLongestShownOutput) return quotedText(bytes);
  return quotedText(bytes.substr(0, kLongestShownOutput)) + "... (" + std::to_string(bytes.size()) +
         " bytes)";
}

}  // namespace
}  // namespace ovrik
