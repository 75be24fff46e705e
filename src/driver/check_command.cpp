// ovrik --check: grades students' sources against a teacher's exercises. Each
// source is assembled in memory and each check run on a fresh machine; the
// report goes to the standard output, and no file is written anywhere.
#include "driver/check_command.hpp"

#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "driver/check_reports.hpp"
#include "exercises/exercise.hpp"
#include "exercises/grading.hpp"
#include "exercises/shown_bytes.hpp"

namespace ovrik {
namespace {

constexpr int kAllPassed = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;

// An exercise is a page of text; a file this large is not one.
constexpr std::size_t kLargestExercise = 1U << 20U;

constexpr std::string_view kUsage =
    "usage: ovrik --check EXERCISE.toml [--check MORE.toml] [--format text|junit|json|tap] "
    "FILE...\n";

constexpr std::string_view kHelp =
    "usage: ovrik --check EXERCISE.toml [--check MORE.toml] [--format F] FILE...\n"
    "\n"
    "Assembles each FILE in memory and runs every check of every exercise on it,\n"
    "each on a fresh machine. No file is written.\n"
    "\n"
    "  --check EXERCISE.toml  an exercise; give more to run the checks of each\n"
    "  --format F             text (the default), junit, json (one line per FILE) or tap\n"
    "  FILE                   a source; .txt is added when the name does not end in it\n"
    "\n"
    "Exit status: 0 every check of every FILE passed, 1 a check failed, 2 a usage\n"
    "error or an exercise that cannot be read (FILE:LINE: error: MESSAGE).\n";

struct CheckRequest {
  std::vector<std::string> exercises;
  ReportFormat format = ReportFormat::kText;
  std::vector<std::string> files;
  bool help = false;
};

std::optional<std::string> readArguments(std::span<const std::string> args, CheckRequest& request);
std::optional<std::vector<Exercise>> readExercises(const std::vector<std::string>& names,
                                                   FileSystem& files, std::ostream& err);
Grade gradeFile(const std::string& file, const std::vector<Exercise>& exercises, FileSystem& files);
}  // namespace

int runCheckCommand(std::span<const std::string> args, Console console, FileSystem& files) {
  CheckRequest request;
  if (const std::optional<std::string> fault = readArguments(args, request)) {
    console.err << "ovrik: " << *fault << "\n" << kUsage;
    return kUsageError;
  }
  if (request.help) {
    console.out << kHelp;
    return kAllPassed;
  }
  const std::optional<std::vector<Exercise>> exercises =
      readExercises(request.exercises, files, console.err);
  if (!exercises) return kUsageError;
  std::size_t checks = 0;
  for (const Exercise& exercise : *exercises) checks += exercise.checks.size();
  const std::unique_ptr<CheckReport> report = makeCheckReport(request.format, console.out);
  report->begin(request.files.size(), checks);
  bool allPassed = true;
  for (const std::string& file : request.files) {
    const Grade grade = gradeFile(file, *exercises, files);
    allPassed = allPassed && static_cast<std::size_t>(grade.passed) == grade.items.size();
    report->add(sourceFileName(file), grade);
  }
  report->end();
  return allPassed ? kAllPassed : kSomeFailed;
}

namespace {

// ---- The command line ----

std::optional<ReportFormat> formatNamed(std::string_view name) {
  if (name == "text") return ReportFormat::kText;
  if (name == "junit") return ReportFormat::kJUnit;
  if (name == "json") return ReportFormat::kJson;
  if (name == "tap") return ReportFormat::kTap;
  return std::nullopt;
}

// --check may come any number of times, --format once; after "--" every word is a FILE.
std::optional<std::string> readArguments(std::span<const std::string> args, CheckRequest& request) {
  bool formatGiven = false;
  bool optionsEnded = false;
  for (std::size_t at = 0; at < args.size(); ++at) {
    const std::string& word = args[at];
    const bool option = !optionsEnded && word.size() > 1 && word[0] == '-';
    if (!option) {
      request.files.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (word == "--help" || word == "-h") {
      request.help = true;
    } else if (word == "--check" || word == "--format") {
      if (at + 1 == args.size()) return word + " needs a value";
      const std::string& value = args[++at];
      // `ovrik --check --help` asks for help rather than naming an exercise.
      if (value == "--help" || value == "-h") {
        request.help = true;
        continue;
      }
      if (word == "--check") {
        request.exercises.push_back(value);
        continue;
      }
      if (formatGiven) return "--format is given twice";
      const std::optional<ReportFormat> format = formatNamed(value);
      if (!format) return "--format must be text, junit, json or tap, not '" + value + "'";
      request.format = *format;
      formatGiven = true;
    } else {
      return "unknown option " + word;
    }
  }
  if (request.help) return std::nullopt;
  if (request.files.empty()) return "no source file to check";
  return std::nullopt;
}

// ---- Reading the files ----

// The file's bytes, read no further than one block past `most`: a huge file is
// never read whole, and is known to be longer than `most`.
std::string readBytes(FileSystem& files, const std::string& name, std::size_t most) {
  std::string bytes;
  const std::unique_ptr<SourceFile> source = files.openSource(name);
  char buffer[1U << 16U];
  while (bytes.size() <= most) {
    const std::size_t count = source->read(buffer, sizeof buffer);
    if (count == 0) break;
    bytes.append(buffer, count);
  }
  source->close();
  return bytes;
}

std::string failureText(const FileFailure& failure) {
  const std::string what = failure.location == kOpenSource ? "cannot open: " : "cannot read: ";
  return what + plainFileFailure(failure.code);
}

std::optional<Exercise> readExerciseFile(const std::string& name, FileSystem& files,
                                         std::ostream& err) {
  const std::string shown = printableText(name);
  std::string bytes;
  try {
    bytes = readBytes(files, name, kLargestExercise);
  } catch (const FileFailure& failure) {
    err << shown << ": error: " << failureText(failure) << "\n";
    return std::nullopt;
  }
  if (bytes.size() > kLargestExercise) {
    err << shown << ": error: too large for an exercise file (more than 1 MiB)\n";
    return std::nullopt;
  }
  auto read = readExercise(bytes);
  if (const auto* error = std::get_if<ExerciseError>(&read)) {
    err << shown;
    if (error->line > 0) err << ":" << error->line;
    err << ": error: " << error->message << "\n";
    return std::nullopt;
  }
  return std::get<Exercise>(std::move(read));
}

std::optional<std::vector<Exercise>> readExercises(const std::vector<std::string>& names,
                                                   FileSystem& files, std::ostream& err) {
  std::vector<Exercise> exercises;
  for (const std::string& name : names) {
    std::optional<Exercise> exercise = readExerciseFile(name, files, err);
    if (!exercise) return std::nullopt;
    for (const Exercise& earlier : exercises) {
      if (const std::optional<ExerciseError> repeated = findRepeatedCheck(earlier, *exercise)) {
        err << printableText(name) << ":" << repeated->line << ": error: " << repeated->message
            << "\n";
        return std::nullopt;
      }
    }
    exercises.push_back(std::move(*exercise));
  }
  return exercises;
}

// ---- Grading ----

// A file that cannot be read fails every check, as one that does not assemble does.
Grade gradeFile(const std::string& file, const std::vector<Exercise>& exercises,
                FileSystem& files) {
  Submission submission;
  try {
    submission = prepareSubmission(readBytes(files, sourceFileName(file), kLargestSubmission));
  } catch (const FileFailure& failure) {
    submission.refusal = failureText(failure);
  }
  return gradeSubmission(exercises, submission);
}

}  // namespace
}  // namespace ovrik
