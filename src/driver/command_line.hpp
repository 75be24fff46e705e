#pragma once

#include <iosfwd>
#include <memory>
#include <span>
#include <string>

#include "driver/driver.hpp"
#include "tables/tables.hpp"

namespace ovrik {

// The standard streams of a command-line run.
struct Console {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

// `ovrik ARGS...` (ARGS without the program's name): the command line for
// scripts and editors. Returns the exit status.
int runCommandLine(std::span<const std::string> args, Console console, FileSystem& files);

struct AssembleOptions {
  bool quiet = false;             // no summary line on a good run
  bool warningsAsErrors = false;  // -W
};

// Assembles one FILE as the command line does: FILE.ovr beside it, diagnostics
// on console.err as FILE:LINE: error: MESSAGE. Returns the assembled state, or
// null when the source did not assemble (its listing is then removed).
std::unique_ptr<AssemblyState> assembleSourceFile(const std::string& file,
                                                  const AssembleOptions& options, Console console,
                                                  FileSystem& files);

// The source a FILE names: FILE itself when it ends in .txt, else FILE.txt.
std::string sourceFileName(const std::string& file);

}  // namespace ovrik
