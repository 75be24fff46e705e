#pragma once

#include <string>

#include "assemble/assemble_source.hpp"
#include "assemble/explain.hpp"
#include "driver/command_line.hpp"
#include "tables/tables.hpp"

namespace ovrik {

enum class ReportForm { kExplain, kJson };

// `ovrik --explain FILE` and `ovrik --json FILE`: FILE assembled as `ovrik -q
// FILE` assembles it (the same listing; --explain also the same diagnostics),
// then every word and why it is there on standard output, as text or as one
// JSON object. Returns the exit status of the assembling command line.
int runReportCommand(ReportForm form, const std::string& file, const AssembleOptions& options,
                     Console console, FileSystem& files);

// Page by page, one line per word the listing shows: ADDR KIND STATEMENT -- SENTENCE.
std::string explanationText(const AssemblyState& state, const Explanation& explanation);

// The whole assembly as one JSON object on one line: ok, the diagnostics (as
// the command line reports them: with -W a warning is an error) and the 256
// words, with why each is there.
std::string assemblyJson(const Assembly& assembly, bool warningsAsErrors = false);

}  // namespace ovrik
