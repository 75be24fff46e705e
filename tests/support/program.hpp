#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/banner.hpp"

namespace ovrik::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ovrik-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct ProgramRun {
  std::string output;  // everything written to standard output
  int status = -1;     // exit status
  std::string errors;  // everything written to standard error
};

// The program under test: the native build unless OVRIK_PROGRAM names another
// (a Windows build, say), started through OVRIK_LAUNCHER when that is set.
inline std::vector<std::string> programCommand() {
  std::vector<std::string> command;
  if (const char* launcher = std::getenv("OVRIK_LAUNCHER"); launcher && *launcher) {
    command.emplace_back(launcher);
  }
  const char* program = std::getenv("OVRIK_PROGRAM");
  command.emplace_back(program && *program ? program : OVRIK_PROGRAM);
  return command;
}

// Files the program may write no further than this many bytes; writing past it
// fails as a full disk does, partway through. 0 for no limit.
inline void limitFileSize(rlim_t bytes) {
  if (bytes == 0) return;
  std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the program
  const rlimit limit{bytes, bytes};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

// Runs the real program in folder with input as its standard input and args
// as its arguments (none: the dialogue).
inline ProgramRun runProgram(const std::filesystem::path& folder, std::string_view input,
                             rlim_t fileSizeLimit = 0, const std::vector<std::string>& args = {}) {
  const std::filesystem::path inputFile = folder / ".console-in";
  const std::filesystem::path outputFile = folder / ".console-out";
  const std::filesystem::path errorFile = folder / ".console-err";
  writeFile(inputFile, input);
  std::vector<std::string> command = programCommand();
  command.insert(command.end(), args.begin(), args.end());
  const pid_t child = ::fork();
  if (child == 0) {
    const int in = ::open(inputFile.c_str(), O_RDONLY);
    const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    limitFileSize(fileSizeLimit);
    std::vector<char*> arguments;
    for (const std::string& word : command) arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    ::execv(arguments[0], arguments.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ProgramRun run{readFile(outputFile), WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                 readFile(errorFile)};
  for (const auto& file : {inputFile, outputFile, errorFile}) std::filesystem::remove(file);
  return run;
}

// Runs the real program's command line in folder, with nothing on standard input.
inline ProgramRun runCommandLine(const std::filesystem::path& folder,
                                 const std::vector<std::string>& args, std::string_view input = "") {
  return runProgram(folder, input, 0, args);
}

}  // namespace ovrik::testing
