#include "driver/command_line.hpp"

#include <istream>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#include "assemble/assemble_source.hpp"
#include "driver/check_command.hpp"
#include "driver/explain_command.hpp"
#include "driver/runner.hpp"

namespace ovrik {
namespace {

constexpr std::string_view kHelp =
    "usage: ovrik                          the dialogue: type a base name at the prompt\n"
    "       ovrik [-q] [-W] FILE...        assemble each FILE into FILE.ovr beside it\n"
    "       ovrik --run [OPTIONS] FILE     run a source (assembled first) or a listing\n"
    "       ovrik --check EXERCISE.toml [--format F] FILE...\n"
    "                                      grade each source against an exercise's checks\n"
    "       ovrik --explain [-W] FILE      assemble FILE and say why each word is there\n"
    "       ovrik --json [-W] FILE         assemble FILE and write it as one JSON object\n"
    "       ovrik --help | --version\n"
    "\n"
    "  FILE      a source; .txt is added when the name does not end in it\n"
    "  -q        print nothing for a source that assembles\n"
    "  -W        treat warnings as errors\n"
    "\n"
    "--run options:\n"
    "  --input TEXT   the keys of port 0 (else standard input)\n"
    "  --steps N      stop after N steps (default 1000000)\n"
    "  --start ADDR   start at ADDR, in the word notation\n"
    "  --trace        write each step to standard error\n"
    "  --dump         write the memory to standard error at the end\n"
    "\n"
    "Diagnostics go to standard error as FILE:LINE: error: MESSAGE. Exit status:\n"
    "0 every file assembled, 1 a file did not, 2 a usage error. A source that\n"
    "does not assemble leaves no listing: an older one is removed.\n"
    "--run ends with 0 halted, 2 waiting for input, 3 step limit, 130 interrupted\n"
    "(Ctrl-C), 1 an error; `ovrik --run --help` tells more.\n";

constexpr int kUsageError = 2;

struct Request {
  AssembleOptions options;
  std::vector<std::string> files;
  std::optional<ReportForm> report;  // --explain or --json
};

int usageError(Console console, std::string_view problem);
bool assembleEach(const Request& request, Console console, FileSystem& files);
void report(const std::vector<Diagnostic>& diagnostics, const std::string& file, bool asErrors,
            Console console);
void reportError(const std::string& file, std::int32_t line, std::string_view message,
                 Console console);
std::string failureReason(const FileFailure& failure, const std::string& listingName);
std::string summary(const AssemblyState& state);

}  // namespace

int runCommandLine(std::span<const std::string> args, Console console, FileSystem& files) {
  if (!args.empty() && args[0] == "--run") {
    return runMachineCommand(args.subspan(1), console, files);
  }
  if (!args.empty() && args[0] == "--check") return runCheckCommand(args, console, files);
  Request request;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      request.files.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-q") {
      request.options.quiet = true;
    } else if (arg == "-W") {
      request.options.warningsAsErrors = true;
    } else if (arg == "--explain" || arg == "--json") {
      request.report = arg == "--json" ? ReportForm::kJson : ReportForm::kExplain;
    } else if (arg == "--help" || arg == "-h") {
      console.out << kHelp;
      return 0;
    } else if (arg == "--version") {
      console.out << "ovrik " OVRIK_VERSION "\n";
      return 0;
    } else {
      return usageError(console, "unknown option '" + arg + "'");
    }
  }
  if (request.files.empty()) return usageError(console, "no source file given");
  if (request.report) {
    if (request.files.size() > 1) return usageError(console, "one source file at a time, please");
    return runReportCommand(*request.report, request.files[0], request.options, console, files);
  }
  return assembleEach(request, console, files) ? 0 : 1;
}

std::unique_ptr<AssemblyState> assembleSourceFile(const std::string& file,
                                                  const AssembleOptions& options, Console console,
                                                  FileSystem& files) {
  Assembly assembly = assembleListedFile(file, options, console, files);
  return assembly.ok ? std::move(assembly.state) : nullptr;
}

Assembly assembleListedFile(const std::string& file, const AssembleOptions& options,
                            Console console, FileSystem& files) {
  const std::string sourceName = sourceFileName(file);
  const std::string listingName = sourceName.substr(0, sourceName.size() - 4) + ".ovr";
  Assembly assembly;
  // A script must never pick up the listing of an earlier, different source.
  const auto fail = [&] {
    files.removeListing(listingName);
    assembly.ok = false;
    return std::move(assembly);
  };
  try {
    const std::unique_ptr<SourceFile> source = files.openSource(sourceName);
    assembly = assembleSource(*source);
    source->close();
    report(assembly.diagnostics, sourceName, options.warningsAsErrors, console);
    if (!assembly.ok) return fail();
    if (options.warningsAsErrors && !assembly.state->warnings.empty()) return fail();
    files.writeListing(listingName, *assembly.listing);
  } catch (const FileFailure& failure) {
    const std::string reason = failureReason(failure, listingName);
    reportError(sourceName, 0, reason, console);
    assembly.diagnostics.push_back({0, Severity::kError, reason});
    return fail();
  }
  if (!options.quiet) {
    console.out << sourceName << " -> " << listingName << ": " << summary(*assembly.state) << "\n";
  }
  return assembly;
}

std::string sourceFileName(const std::string& file) {
  return file.ends_with(".txt") ? file : file + ".txt";
}

namespace {

int usageError(Console console, std::string_view problem) {
  console.err << "ovrik: " << problem << "\n"
              << "usage: ovrik [-q] [-W] FILE... | ovrik --run [OPTIONS] FILE | ovrik --help\n";
  return kUsageError;
}

bool assembleEach(const Request& request, Console console, FileSystem& files) {
  bool allAssembled = true;
  for (const std::string& file : request.files) {
    allAssembled =
        assembleSourceFile(file, request.options, console, files) != nullptr && allAssembled;
  }
  return allAssembled;
}

std::string located(const std::string& file, std::int32_t line) {
  return line > 0 ? file + ":" + std::to_string(line) + ": " : file + ": ";
}

void report(const std::vector<Diagnostic>& diagnostics, const std::string& file, bool asErrors,
            Console console) {
  for (const Diagnostic& diagnostic : diagnostics) {
    if (diagnostic.severity == Severity::kWarning) {
      console.err << located(file, diagnostic.line) << (asErrors ? "error: " : "warning: ")
                  << diagnostic.message << (asErrors ? " [-W]" : "") << "\n";
    } else {
      console.err << located(file, diagnostic.line)
                  << (diagnostic.severity == Severity::kError ? "error: " : "note: ")
                  << diagnostic.message << "\n";
    }
  }
}

void reportError(const std::string& file, std::int32_t line, std::string_view message,
                 Console console) {
  console.err << located(file, line) << "error: " << message << "\n";
}

std::string plainReason(int code) {
  switch (code) {
    case 2:
      return "no such file";
    case 3:
      return "no such folder";
    case 4:
      return "too many open files";
    case 5:
      return "access refused";
    case 112:
      return "the disk is full";
    case 206:
      return "the name is too long";
    default:
      return "failed (system error " + std::to_string(code) + ")";
  }
}

std::string failureReason(const FileFailure& failure, const std::string& listingName) {
  switch (failure.location) {
    case kOpenSource:
      return "cannot open: " + plainReason(failure.code);
    case kReadSource:
      return "cannot read: " + plainReason(failure.code);
    case kCloseFile:
      return "cannot close: " + plainReason(failure.code);
    default:
      return "cannot write " + listingName + ": " + plainReason(failure.code);
  }
}

std::string counted(int count, std::string_view what) {
  return std::to_string(count) + " " + std::string(what) + (count == 1 ? "" : "s");
}

std::string summary(const AssemblyState& state) {
  int pages = 0;
  int words = 0;
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    ++pages;
    words += state.listedWords(page);
  }
  return counted(pages, "page") + ", " + counted(words, "word");
}

}  // namespace

std::string plainFileFailure(int code) {
  return plainReason(code);
}

}  // namespace ovrik
