// Grading in-process: each field of a check, what a failed check says, the
// limits, and the sources that can never pass.
#include "exercises/grading.hpp"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace ovrik {
namespace {

using namespace std::string_literals;

// SUM := A + B.
constexpr const char* kSum =
    "/0\nSTART,  TAD A\n        TAD B\n        DCA SUM\n        HLT 0\n"
    "A,      VAR\nB,      VAR\nSUM,    VAR\n";

// Shows each key of port 0 until there are no more, then waits.
constexpr const char* kEcho =
    "/0\nSTART,  SKF 0\n        JMP START\n        KRB 0\n        LDB 0\n"
    "WAIT,   SDF 0\n        JMP WAIT\n        JMP START\n";

struct Graded {
  Exercise exercise;
  Grade grade;

  // What the one check of the exercise found, one line.
  std::string differences() const {
    std::string text;
    for (const std::string& line : grade.items.at(0).result.differences) {
      text += (text.empty() ? "" : "; ") + line;
    }
    return text;
  }
};

Graded grade(const std::string& exerciseFile, const std::string& source) {
  Graded graded;
  auto read = readExercise(exerciseFile);
  if (const auto* error = std::get_if<ExerciseError>(&read)) {
    ADD_FAILURE() << "line " << error->line << ": " << error->message;
    return graded;
  }
  graded.exercise = std::get<Exercise>(read);
  graded.grade = gradeSubmission({&graded.exercise, 1}, prepareSubmission(source));
  return graded;
}

std::string check(const std::string& keys) {
  return "[[check]]\nname = \"c\"\n" + keys + "\n";
}

TEST(Grading, PutsWordsAtLabelsAndComparesThemAfterTheRun) {
  const Graded passed = grade(check("set = { A = 2, B = 3 }\nexpect = { SUM = 5 }"), kSum);
  EXPECT_TRUE(passed.grade.items.at(0).result.passed);
  EXPECT_EQ(passed.grade.items[0].result.steps, 4U);
  EXPECT_EQ(passed.grade.words, 7);
  const Graded failed = grade(check("set = { A = 2, B = -1 }\nexpect = { SUM = 2, A = 3 }"), kSum);
  EXPECT_EQ(failed.differences(), "SUM: expected 002, got 001; A: expected 003, got 002");
}

TEST(Grading, ALabelTheProgramLacksFailsTheCheckWithoutARun) {
  const Graded graded = grade(check("set = { X = 1 }\nexpect = { SUM = 0, Y = 1 }"), kSum);
  EXPECT_EQ(graded.differences(), "the program has no label X; the program has no label Y");
  EXPECT_EQ(graded.grade.steps, 0U);
  // A variable no instruction uses is left out by the assembler: the student is told.
  const Graded unused = grade(check("set = { C = 1 }"), std::string(kSum) + "C,      VAR\n");
  EXPECT_EQ(unused.differences(),
            "the program has no label C (no instruction uses it, so the assembler leaves it out)");
}

TEST(Grading, GivesKeysAndComparesWhatEachDisplayShows) {
  EXPECT_TRUE(grade(check("input = \"hi\"\ndisplay = \"hi\"\nends = \"waiting for input\""), kEcho)
                  .grade.items.at(0)
                  .result.passed);
  EXPECT_EQ(
      grade(check("input = \"a\\u0001\"\ndisplay = \"a\\n\"\nends = \"waiting for input\""), kEcho)
          .differences(),
      "display: expected \"a\\n\", got \"a\\x01\"");
  // Port 1: its own keys, its own display; port 0 gets none of them.
  const std::string portOne =
      "/0\nSTART,  SKF 1\n        JMP START\n        KRB 1\n        LDB 1\n        HLT 0\n";
  EXPECT_TRUE(grade(check("input1 = \"Z\"\ndisplay1 = \"Z\"\ndisplay = \"\""), portOne)
                  .grade.items.at(0)
                  .result.passed);
  EXPECT_EQ(grade(check("input = \"Z\"\ndisplay1 = \"Z\""), portOne).differences(),
            "waiting for input at 000; display1: expected \"Z\", got \"\"");
}

TEST(Grading, ShowsALongOutputCutWithItsLength) {
  const std::string many(100, 'x');
  EXPECT_EQ(
      grade(check("input = \"" + many + "\"\ndisplay = \"x\"\nends = \"waiting for input\""), kEcho)
          .differences(),
      "display: expected \"x\", got \"" + std::string(64, 'x') + "\"... (100 bytes)");
}

TEST(Grading, SaysHowARunEndedWhenItIsNotTheEndExpected) {
  const std::string loop = "/0\nSTART,  NOP\n        JMP START\n";
  // #731 is SZA and HLT in one word: AC is 0, so it skips as it halts.
  const std::string skipHalt =
      "/0\nSTART,  CLA\n        JMP HALTS\n        NOP\nHALTS,  TABLE[1]\n        #731\n";
  const struct {
    std::string keys;
    std::string source;
    std::string differences;
  } rows[] = {
      {"", kEcho, "waiting for input at 000"},
      {"max_steps = 51", loop, "did not halt within 51 steps (at 001)"},
      {"ends = \"waiting for input\"\nmax_steps = 50", loop,
       "did not wait for input within 50 steps (at 000)"},
      {"ends = \"waiting for input\"", kSum, "halted at 003 instead of waiting for input"},
      // The HLT word is named even when the same word's skip was taken.
      {"ends = \"waiting for input\"", skipHalt, "halted at 003 instead of waiting for input"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(grade(check(row.keys), row.source).differences(), row.differences) << row.keys;
  }
}

TEST(Grading, StartsAtALabelOrAnAddress) {
  // Started at SECOND, the program stores 7 in SUM; from the top, 1.
  const std::string source =
      "/0\nSTART,  CLA.IAC\n        DCA SUM\n        HLT 0\nSECOND, TAD SEVEN\n"
      "        DCA SUM\n        HLT 0\nSUM,    VAR\nSEVEN,  7\n";
  EXPECT_TRUE(grade(check("start = \"SECOND\"\nexpect = { SUM = 7 }"), source)
                  .grade.items.at(0)
                  .result.passed);
  EXPECT_TRUE(grade(check("start = \"003\"\nexpect = { SUM = 7 }"), source)
                  .grade.items.at(0)
                  .result.passed);
  EXPECT_EQ(grade(check("expect = { SUM = 7 }"), source).differences(),
            "SUM: expected 007, got 001");
  EXPECT_EQ(grade(check("start = \"THIRD\""), source).differences(),
            "the program has no label THIRD");
}

TEST(Grading, CountsPointsAndStepsOverEveryCheck) {
  const Graded graded = grade(
      "[[check]]\nname = \"right\"\nset = { A = 1 }\nexpect = { SUM = 1 }\npoints = 3\n"
      "[[check]]\nname = \"wrong\"\nexpect = { SUM = 1 }\npoints = 2\n"
      "[[check]]\nname = \"free\"\npoints = 0\n",
      kSum);
  EXPECT_EQ(graded.grade.passed, 2);
  EXPECT_EQ(graded.grade.points, 3);
  EXPECT_EQ(graded.grade.maxPoints, 5);
  EXPECT_EQ(graded.grade.steps, 12U);
}

TEST(Grading, AProgramOverItsWordsOrPagesFailsEveryCheck) {
  const std::string limits = "max_words = 6\nmax_pages = 1\n";
  const std::string twoPages = std::string(kSum) + "/1\n        NOP\n";
  const Graded graded =
      grade(limits + check("expect = { SUM = 0 }") + "[[check]]\nname = \"d\"\n", twoPages);
  for (const Grade::Item& item : graded.grade.items) {
    EXPECT_EQ(item.result.differences,
              (std::vector<std::string>{"uses 8 words, at most 6", "uses 2 pages, at most 1"}));
  }
  // Fillers do not count: page 0, no longer the last, is filled up to 16 words.
  EXPECT_EQ(graded.grade.words, 8);
}

struct NeverPasses {
  std::string name;
  std::string source;
  std::string difference;
};

void PrintTo(const NeverPasses& c, std::ostream* out) {
  *out << c.name;
}

class SourceThatNeverPasses : public ::testing::TestWithParam<NeverPasses> {};

TEST_P(SourceThatNeverPasses, FailsEveryCheckWithOneClearLine) {
  const Graded graded = grade(check("") + "[[check]]\nname = \"d\"\n", GetParam().source);
  ASSERT_EQ(graded.grade.items.size(), 2U);
  for (const Grade::Item& item : graded.grade.items) {
    EXPECT_FALSE(item.result.passed);
    EXPECT_EQ(item.result.differences, std::vector<std::string>{GetParam().difference});
  }
}

const NeverPasses kNeverPasses[] = {
    {"DoesNotAssemble", "/0\nSTART,  TAX\n",
     "does not assemble: line 2: Instruction TAX is not valid in page 0 line 0."},
    {"BytesOfTheSourceInTheMessage", "/0\n\x01\xE9X\n",
     "does not assemble: line 2: Instruction \\x01\\xE9X is not valid in page 0 line 0."},
    {"WordWithoutAValue", "/0\nSTART,  HLT 0\nX,      TABLE[1]\n        #12\n",
     "line 4: word 001 (#12) has no value (code \"12\"), so the program is not run"},
    {"Binary",
     "/0\nSTART,  HLT 0\n\x7F"
     "ELF\x02\x01\x01\x00\x00"s,
     "not a source: byte 25 is a NUL, as in a binary file"},
    {"Megabyte", std::string(1 << 20, ' '),
     "not a source: larger than the 256 KiB a source may have"},
};
INSTANTIATE_TEST_SUITE_P(Cases, SourceThatNeverPasses, ::testing::ValuesIn(kNeverPasses),
                         [](const auto& test) { return test.param.name; });

TEST(Grading, ACheckRunInSlicesEndsAsOneRunAll) {
  const std::string loop = "/0\nSTART,  ISZ N\n        JMP START\n        HLT 0\nN,      VAR\n";
  auto read = readExercise(check("expect = { N = 0 }\nmax_steps = 1000"));
  const Exercise exercise = std::get<Exercise>(read);
  const Submission submission = prepareSubmission(loop);
  CheckRun sliced(submission, exercise, exercise.checks[0]);
  int slices = 1;
  while (!sliced.advance(100)) ++slices;
  EXPECT_EQ(slices, 6);  // 256 ISZ, 255 JMP and the HLT
  const CheckResult whole = runCheck(submission, exercise, exercise.checks[0]);
  EXPECT_TRUE(whole.passed);
  EXPECT_EQ(sliced.result().steps, whole.steps);
  EXPECT_EQ(whole.steps, 512U);
}

}  // namespace
}  // namespace ovrik
