#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

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

// A diagnostic as the command line reports it, without the file's name.
struct ReportedDiagnostic {
  std::int32_t line = 0;  // 0 when it is about no line
  std::string severity;   // "error" or "warning"
  std::string message;
};

struct AssembleOptions {
  bool quiet = false;             // no summary line on a good run
  bool warningsAsErrors = false;  // -W
  // When set, every diagnostic is also kept here, in the order it is reported.
  std::vector<ReportedDiagnostic>* diagnostics = nullptr;
};

// Assembles one FILE as the command line does: FILE.ovr beside it, diagnostics
// on console.err as FILE:LINE: error: MESSAGE. Returns the assembled state, or
// null when the source did not assemble (its listing is then removed).
std::unique_ptr<AssemblyState> assembleSourceFile(const std::string& file,
                                                  const AssembleOptions& options, Console console,
                                                  FileSystem& files);

}  // namespace ovrik
