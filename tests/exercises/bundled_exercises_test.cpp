// The exercises in exercises/, graded by the real program. For each NAME.toml,
// tests/exercises/solutions/NAME/ holds a reference solution.txt that must
// pass every check and wrong-*.txt solutions a student could plausibly write,
// each of which must fail; beside each, FILE.report is what
// `ovrik --check NAME.toml FILE.txt` must print. Adding a wrong solution is
// adding two files; OVRIK_UPDATE_GOLDEN=1 writes the reports anew.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "exercises/exercise.hpp"
#include "exercises/grading.hpp"
#include "support/golden_files.hpp"
#include "support/program.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::runCommandLine;
using testing::ScratchFolder;
using testing::updatingGoldenFiles;
using testing::writeFile;

const fs::path kExercises = OVRIK_EXERCISES_DIR;
const fs::path kSolutions = fs::path(OVRIK_TESTS_DIR) / "exercises" / "solutions";

std::vector<fs::path> filesIn(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

Exercise readBundled(const fs::path& file) {
  auto read = readExercise(readFile(file));
  if (const auto* error = std::get_if<ExerciseError>(&read)) {
    ADD_FAILURE() << file << ":" << error->line << ": " << error->message;
    return {};
  }
  return std::get<Exercise>(read);
}

TEST(BundledExercises, AreSixOrMoreInACoursesOrderEachWithATaskAndAStarter) {
  const std::vector<fs::path> exercises = filesIn(kExercises, ".toml");
  EXPECT_GE(exercises.size(), 6U);
  for (const fs::path& file : exercises) {
    const Exercise exercise = readBundled(file);
    EXPECT_FALSE(exercise.title.empty()) << file;
    EXPECT_FALSE(exercise.task.empty()) << file;
    ASSERT_TRUE(exercise.starter) << file;
    // The starter assembles and runs, and leaves the work to the student.
    const Submission starter = prepareSubmission(*exercise.starter);
    EXPECT_FALSE(starter.refusal) << file << ": " << starter.refusal.value_or("");
    const Grade grade = gradeSubmission({&exercise, 1}, starter);
    EXPECT_LT(static_cast<std::size_t>(grade.passed), grade.items.size()) << file;
    EXPECT_TRUE(fs::is_directory(kSolutions / file.stem())) << file << " has no solutions";
  }
}

class ExerciseGolden : public ::testing::TestWithParam<fs::path> {};

TEST_P(ExerciseGolden, SolutionPassesAndEveryWrongSolutionFails) {
  const fs::path folder = GetParam();
  const fs::path exercise = kExercises / (folder.filename().string() + ".toml");
  ASSERT_TRUE(fs::exists(exercise)) << folder << " has no exercise";
  const std::vector<fs::path> sources = filesIn(folder, ".txt");
  const auto wrong = std::count_if(sources.begin(), sources.end(), [](const fs::path& source) {
    return source.filename().string().starts_with("wrong-");
  });
  EXPECT_TRUE(fs::exists(folder / "solution.txt"));
  EXPECT_GE(wrong, 1);
  for (const fs::path& source : sources) {
    ScratchFolder scratch;
    fs::copy_file(exercise, scratch / "exercise.toml");
    fs::copy_file(source, scratch.path() / source.filename());
    const auto run =
        runCommandLine(scratch.path(), {"--check", "exercise.toml", source.filename().string()});
    const bool isSolution = source.filename() == "solution.txt";
    EXPECT_EQ(run.status, isSolution ? 0 : 1) << source << "\n" << run.output << run.errors;
    EXPECT_EQ(run.errors, "") << source;
    fs::path report = source;
    report.replace_extension(".report");
    if (updatingGoldenFiles()) {
      writeFile(report, run.output);
    } else {
      EXPECT_EQ(run.output, readFile(report)) << source;
    }
  }
}

std::vector<fs::path> solutionFolders() {
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(kSolutions)) folders.push_back(entry.path());
  std::sort(folders.begin(), folders.end());
  return folders;
}

INSTANTIATE_TEST_SUITE_P(Exercises, ExerciseGolden, ::testing::ValuesIn(solutionFolders()),
                         [](const auto& test) {
                           std::string name = test.param.filename().string();
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace ovrik
