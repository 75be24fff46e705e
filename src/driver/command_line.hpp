#pragma once

#include <iosfwd>
#include <memory>
#include <span>
#include <string>

#include "assemble/assemble_source.hpp"
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

// The same, giving the whole assembly: ok only when the listing was written.
// A file that cannot be read or written is one more error among its
// diagnostics (and the state is null when the source could not be opened);
// with -W a warning fails it.
Assembly assembleListedFile(const std::string& file, const AssembleOptions& options,
                            Console console, FileSystem& files);

// The source a FILE names: FILE itself when it ends in .txt, else FILE.txt.
std::string sourceFileName(const std::string& file);

// What a file failure's code means, as the command line words it: "no such file".
std::string plainFileFailure(int code);

}  // namespace ovrik
