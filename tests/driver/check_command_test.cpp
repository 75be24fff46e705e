// ovrik --check in-process: its command line, the exercise files' faults, the
// text report and the exit status. The other formats are read back by real
// parsers in tests/exercises/check_formats.py.
#include "driver/check_command.hpp"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/memory_files.hpp"

namespace ovrik {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome check(std::vector<std::string> args, MemoryFiles& files) {
  args.insert(args.begin(), "--check");
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  Outcome outcome;
  outcome.status = runCommandLine(args, Console{in, out, err}, files);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

// SUM := A + B, right, wrong and not at all.
MemoryFiles classroom() {
  MemoryFiles files;
  files.files["ex.toml"] =
      "title = \"Sum\"\n"
      "[[check]]\nname = \"2 + 3\"\nset = { A = 2, B = 3 }\nexpect = { SUM = 5 }\n"
      "[[check]]\nname = \"halts\"\npoints = 2\n";
  files.files["hidden.toml"] =
      "[[check]]\nname = \"-1 + 1\"\nset = { A = -1, B = 1 }\nexpect = { SUM = 0 }\n";
  const std::string sum =
      "/0\nSTART,  TAD A\n        TAD B\n        DCA SUM\n        HLT 0\n"
      "A,      VAR\nB,      VAR\nSUM,    VAR\n";
  files.files["right.txt"] = sum;
  files.files["wrong.txt"] = std::string(sum).replace(sum.find("TAD B"), 5, "TAD A");
  files.files["broken.txt"] = "/0\nSTART,  TAX\n";
  return files;
}

TEST(CheckCommand, ReportsEachFileAndExitsWith0OnlyWhenEveryCheckPassed) {
  MemoryFiles files = classroom();
  const auto before = files.files;
  const Outcome all = check({"ex.toml", "right.txt", "right"}, files);
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out,
            "right.txt: 2/2 checks, 3/3 points, 8 steps, 7 words\n"
            "right.txt: 2/2 checks, 3/3 points, 8 steps, 7 words\n");
  const Outcome some = check({"ex.toml", "right", "wrong", "broken", "absent"}, files);
  EXPECT_EQ(some.status, 1);
  EXPECT_EQ(some.out,
            "right.txt: 2/2 checks, 3/3 points, 8 steps, 7 words\n"
            "wrong.txt: 1/2 checks, 2/3 points, 4 steps, 6 words\n"
            "  2 + 3: the program has no label B (no instruction uses it, so the assembler "
            "leaves it out)\n"
            "broken.txt: 0/2 checks, 0/3 points, 0 steps, 0 words\n"
            "  2 + 3: does not assemble: line 2: Instruction TAX is not valid in page 0 line 0.\n"
            "  halts: does not assemble: line 2: Instruction TAX is not valid in page 0 line 0.\n"
            "absent.txt: 0/2 checks, 0/3 points, 0 steps, 0 words\n"
            "  2 + 3: cannot open: no such file\n"
            "  halts: cannot open: no such file\n");
  EXPECT_EQ(some.err, "");
  EXPECT_EQ(files.files, before) << "grading writes no file";
}

TEST(CheckCommand, RunsTheChecksOfEveryExerciseFileGiven) {
  MemoryFiles files = classroom();
  files.files["odd.txt"] =
      "/0\nSTART,  TAD A\n        TAD B\n        IAC\n        DCA SUM\n        HLT 0\n"
      "A,      VAR\nB,      VAR\nSUM,    VAR\n";
  const Outcome outcome = check({"ex.toml", "--check", "hidden.toml", "odd.txt"}, files);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out,
            "odd.txt: 1/3 checks, 2/4 points, 15 steps, 8 words\n"
            "  2 + 3: SUM: expected 005, got 006\n"
            "  -1 + 1: SUM: expected 000, got 001\n");
}

struct Refusal {
  std::string name;
  std::vector<std::string> args;
  std::string err;
};

void PrintTo(const Refusal& c, std::ostream* out) {
  *out << c.name;
}

class CheckRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(CheckRefusal, GradesNothingAndExitsWith2) {
  MemoryFiles files = classroom();
  files.files["bad.toml"] = "title = \"x\"\n\n[[check]]\nname = \"a\"\nexpcet = { A = 1 }\n";
  files.files["again.toml"] = "[[check]]\nname = \"halts\"\n";
  files.files["huge.toml"] = std::string((1U << 20U) + 1, '#');
  const Outcome outcome = check(GetParam().args, files);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, GetParam().err);
}

const std::string kUsage =
    "usage: ovrik --check EXERCISE.toml [--check MORE.toml] [--format text|junit|json|tap] "
    "FILE...\n";

const Refusal kRefusals[] = {
    {"NoFile", {"ex.toml"}, "ovrik: no source file to check\n" + kUsage},
    {"NoExercise", {}, "ovrik: --check needs a value\n" + kUsage},
    {"UnknownFormat",
     {"ex.toml", "--format", "xml", "right"},
     "ovrik: --format must be text, junit, json or tap, not 'xml'\n" + kUsage},
    {"FormatTwice",
     {"ex.toml", "--format", "tap", "--format", "tap", "right"},
     "ovrik: --format is given twice\n" + kUsage},
    {"UnknownOption", {"ex.toml", "-q", "right"}, "ovrik: unknown option -q\n" + kUsage},
    {"ExerciseMissing",
     {"absent.toml", "right"},
     "absent.toml: error: cannot open: no such file\n"},
    {"ExerciseFault",
     {"ex.toml", "--check", "bad.toml", "right"},
     "bad.toml:5: error: check \"a\": unknown key 'expcet'; a check has name, set, expect, input, "
     "input1, display, display1, ends, start, points and max_steps\n"},
    {"ExerciseTooLarge",
     {"huge.toml", "right"},
     "huge.toml: error: too large for an exercise file (more than 1 MiB)\n"},
    {"CheckInTwoFiles",
     {"ex.toml", "--check", "again.toml", "right"},
     "again.toml:1: error: check \"halts\" is in an exercise file given before this one too\n"},
};
INSTANTIATE_TEST_SUITE_P(Cases, CheckRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& test) { return test.param.name; });

TEST(CheckCommand, TakesEveryWordAfterTwoDashesAsAFile) {
  MemoryFiles files = classroom();
  files.files["-q.txt"] = files.files["right.txt"];
  const Outcome outcome = check({"ex.toml", "--", "-q"}, files);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "-q.txt: 2/2 checks, 3/3 points, 8 steps, 7 words\n");
}

TEST(CheckCommand, ShowsItsHelp) {
  MemoryFiles files;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, std::vector<std::string>{"ex.toml", "-h"}}) {
    const Outcome outcome = check(args, files);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.starts_with("usage: ovrik --check EXERCISE.toml")) << outcome.out;
    EXPECT_NE(outcome.out.find("Exit status: 0 every check"), std::string::npos);
  }
}

}  // namespace
}  // namespace ovrik
