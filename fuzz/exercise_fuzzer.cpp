// Arbitrary bytes as an exercise file. Reading it must end in an exercise or
// one error whose message is a single printable line; an exercise that reads
// is then graded on a small program, and every difference it reports must be
// a single printable line as well, since the reports put them into terminals,
// JSON and XML as they are.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "exercises/exercise.hpp"
#include "exercises/grading.hpp"
#include "exercises/shown_bytes.hpp"

namespace {

// Labels a fuzzed check can find (A, B, SUM, START), and output on both displays.
constexpr std::string_view kProgram =
    "/0\nSTART,  TAD A\n        TAD B\n        DCA SUM\n        TAD SUM\n        LDB 0\n"
    "        LDB 1\n        SKF 0\n        HLT 0\n        KRB 0\n        JMP START\n"
    "A,      VAR\nB,      VAR\nSUM,    VAR\n";

[[noreturn]] void fault(const char* what, const std::string& text) {
  std::fprintf(stderr, "ovrik_exercise_fuzzer: %s: %s\n", what, text.c_str());
  std::abort();
}

void expectOneLine(const char* what, const std::string& text) {
  if (text.empty() || ovrik::printableText(text) != text) fault(what, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto read = ovrik::readExercise(bytes);
  if (const auto* error = std::get_if<ovrik::ExerciseError>(&read)) {
    expectOneLine("an exercise error", error->message);
    if (error->line < 0) fault("a line below 0", error->message);
    return 0;
  }
  ovrik::Exercise& exercise = std::get<ovrik::Exercise>(read);
  // A fuzzed step limit may be a billion: grading here keeps to a few thousand.
  for (ovrik::Check& check : exercise.checks) check.maxSteps = check.maxSteps % 4096 + 1;
  const ovrik::Submission submission = ovrik::prepareSubmission(kProgram);
  const ovrik::Grade grade = ovrik::gradeSubmission({&exercise, 1}, submission);
  for (const ovrik::Grade::Item& item : grade.items) {
    expectOneLine("a check's name", item.check->name);
    if (item.result.passed != item.result.differences.empty()) fault("passed", item.check->name);
    for (const std::string& difference : item.result.differences) {
      expectOneLine("a difference", difference);
    }
  }
  return 0;
}
