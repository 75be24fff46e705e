// Reading exercise files: every key lands in its field, and every kind of
// fault is refused with its line and a message that names the key or check.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <variant>

#include "exercises/exercise.hpp"

namespace ovrik {
namespace {

Exercise read(const std::string& text) {
  auto result = readExercise(text);
  if (const auto* error = std::get_if<ExerciseError>(&result)) {
    ADD_FAILURE() << "line " << error->line << ": " << error->message;
    return {};
  }
  return std::get<Exercise>(result);
}

TEST(ExerciseFile, ReadsEveryKey) {
  const Exercise exercise = read(R"(title = "Add two numbers"
task = """
Add A and B.
"""
starter = "/0\n"
max_steps = 10000
max_words = 16
max_pages = 1

[[check]]
name = "2 + 3"
set = { A = 2, B = -3 }
expect.SUM = 255
input = "23\n"
input1 = "x"
display = "5"
display1 = ""
ends = "waiting for input"
start = "START"
points = 3
max_steps = 5000

[[check]]
name = "defaults"
)");
  EXPECT_EQ(exercise.title, "Add two numbers");
  EXPECT_EQ(exercise.task, "Add A and B.\n");
  EXPECT_EQ(exercise.starter, "/0\n");
  EXPECT_EQ(exercise.maxWords, 16);
  EXPECT_EQ(exercise.maxPages, 1);
  ASSERT_EQ(exercise.checks.size(), 2U);
  const Check& check = exercise.checks[0];
  EXPECT_EQ(check.name, "2 + 3");
  EXPECT_EQ(check.line, 10);
  ASSERT_EQ(check.set.size(), 2U);
  EXPECT_EQ(check.set[0].label, "A");
  EXPECT_EQ(check.set[0].value, 2);
  EXPECT_EQ(check.set[1].value, 253);  // -3 as the word stores it
  ASSERT_EQ(check.expect.size(), 1U);
  EXPECT_EQ(check.expect[0].label, "SUM");
  EXPECT_EQ(check.expect[0].value, 255);
  EXPECT_EQ(check.input[0], "23\n");
  EXPECT_EQ(check.input[1], "x");
  EXPECT_EQ(check.display[0], "5");
  EXPECT_EQ(check.display[1], "");
  EXPECT_EQ(check.ends, ExpectedEnd::kWaitingForInput);
  EXPECT_EQ(check.start, "START");
  EXPECT_EQ(check.points, 3);
  EXPECT_EQ(check.maxSteps, 5000U);
  const Check& defaults = exercise.checks[1];
  EXPECT_TRUE(defaults.set.empty() && defaults.expect.empty());
  EXPECT_FALSE(defaults.display[0] || defaults.display[1] || defaults.start);
  EXPECT_EQ(defaults.ends, ExpectedEnd::kHalted);
  EXPECT_EQ(defaults.points, 1);
  EXPECT_EQ(defaults.maxSteps, 10000U);  // the file's max_steps
}

TEST(ExerciseFile, DefaultsToAHundredThousandStepsAndNoLimits) {
  const Exercise exercise = read("[[check]]\nname = \"a\"\n");
  EXPECT_EQ(exercise.checks.at(0).maxSteps, 100000U);
  EXPECT_FALSE(exercise.maxWords || exercise.maxPages || exercise.starter);
}

struct FaultCase {
  std::string name;
  std::string file;
  int line;
  std::string message;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
  *out << c.name;
}

class ExerciseFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ExerciseFault, IsRefusedWithItsLine) {
  auto result = readExercise(GetParam().file);
  const auto* error = std::get_if<ExerciseError>(&result);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->line, GetParam().line);
  EXPECT_EQ(error->message, GetParam().message);
}

const std::string kCheck = "[[check]]\nname = \"a\"\n";

const FaultCase kFaults[] = {
    {"NotToml", "title = x\n", 1, "Error while parsing value: could not determine value type"},
    // toml++ asserts what this header breaks: the assertion must not end the program.
    {"BrokenHeader", "[[\\u0001]\nname = \"a\"\n", 1,
     "Error while parsing key: expected bare key starting character or string delimiter, saw "
     "'\\'"},
    // toml++ 3.3.0 finds no class for this character: it is no whitespace, and no crash.
    {"LetterOutsideAString", "title = \"x\" \u00a1\n", 1,
     "Error while parsing key-value pair: expected a comment or whitespace, saw '\u00a1'"},
    {"MisspeltKey", "titel = \"x\"\n" + kCheck, 1,
     "unknown key 'titel'; an exercise has title, task, starter, max_steps, max_words, "
     "max_pages and [[check]]"},
    {"MisspeltCheckTable", "[[checks]]\nname = \"a\"\n", 1,
     "unknown key 'checks'; an exercise has title, task, starter, max_steps, max_words, "
     "max_pages and [[check]]"},
    {"NoCheck", "title = \"x\"\n", 0, "the exercise has no checks: add one with [[check]]"},
    {"CheckNotAList", "check = 5\n", 1,
     "check must be a list of tables, each begun with [[check]]"},
    {"CheckAsOneTable", "[check]\nname = \"a\"\n", 1,
     "check must be a list of tables, each begun with [[check]]"},
    {"NotAString", "title = 5\n" + kCheck, 1, "title must be a string in quotes"},
    {"NotAWholeNumber", "max_steps = 1.5\n" + kCheck, 1, "max_steps must be a whole number"},
    {"OutOfRange", "max_pages = 17\n" + kCheck, 1, "max_pages must be 1 to 16, not 17"},
    {"CheckWithoutName", "[[check]]\nset = { A = 1 }\n", 1, "a check needs a name: name = \"...\""},
    {"NameOfTwoLines", "[[check]]\nname = \"a\\nb\"\n", 2,
     "a check's name must be one line of printable text, not \"a\\nb\""},
    {"NameTwice", kCheck + "\n" + kCheck, 5, "check \"a\" is named twice; the first is on line 1"},
    {"MisspeltCheckKey", kCheck + "expcet = { A = 1 }\n", 3,
     "check \"a\": unknown key 'expcet'; a check has name, set, expect, input, input1, display, "
     "display1, ends, start, points and max_steps"},
    {"LabelsNotATable", kCheck + "set = 3\n", 3,
     "check \"a\": set must be a table of labels and words, like { A = 2 }"},
    {"NoWord", kCheck + "expect = { SUM = 256 }\n", 3,
     "check \"a\": expect SUM must be a word: 0 to 255, or -128 to -1; not 256"},
    {"WordNotANumber", kCheck + "set = { A = \"2\" }\n", 3,
     "check \"a\": set A must be a word: 0 to 255, or -128 to -1; not a whole number"},
    {"LabelTooLong", kCheck + "set = { " + std::string(48, 'L') + " = 1 }\n", 3,
     "check \"a\": set: '" + std::string(48, 'L') +
         "' cannot be a label: a label has 1 to 47 characters"},
    {"UnknownEnd", kCheck + "ends = \"stopped\"\n", 3,
     "check \"a\": ends must be \"halted\" or \"waiting for input\", not \"stopped\""},
    {"StartNoAddress", kCheck + "start = \"080\"\n", 3,
     "check \"a\": start 080 is no address in the word notation (000 to 737)"},
    {"StartEmpty", kCheck + "start = \"\"\n", 3,
     "check \"a\": start must be a label (1 to 47 characters) or an address, like \"START\""},
    {"CheckValueOutOfRange", kCheck + "max_steps = 0\n", 3,
     "check \"a\": max_steps must be 1 to 1000000000, not 0"},
    {"FirstFaultInFileOrder", "title = 1\ntask = 2\n" + kCheck, 1,
     "title must be a string in quotes"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ExerciseFault, ::testing::ValuesIn(kFaults),
                         [](const auto& test) { return test.param.name; });

TEST(ExerciseFile, RefusesACheckNameGivenInAnEarlierFile) {
  const Exercise first = read("[[check]]\nname = \"a\"\n");
  const Exercise second = read("[[check]]\nname = \"b\"\n\n[[check]]\nname = \"a\"\n");
  const auto repeated = findRepeatedCheck(first, second);
  ASSERT_TRUE(repeated);
  EXPECT_EQ(repeated->line, 4);
  EXPECT_EQ(repeated->message, "check \"a\" is in an exercise file given before this one too");
  EXPECT_FALSE(findRepeatedCheck(second, read("[[check]]\nname = \"c\"\n")));
}

}  // namespace
}  // namespace ovrik
