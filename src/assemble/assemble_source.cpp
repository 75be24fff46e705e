// The one road from a source's bytes to its assembled words and listing: the
// seven passes in their order, and what each front end needs from their run.
#include "assemble/assemble_source.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "assemble/assemble.hpp"
#include "intake/intake.hpp"
#include "layout/layout.hpp"
#include "pools/pools.hpp"
#include "tables/diagnostics.hpp"

namespace ovrik {
namespace {

void runPasses(AssemblyState& state, ByteSource& source);
void addWarnings(Assembly& assembly);
void addError(Assembly& assembly, const ErrorStop& stop);

}  // namespace

Assembly assembleSource(ByteSource& source) {
  Assembly assembly;
  assembly.state = std::make_unique<AssemblyState>();
  try {
    runPasses(*assembly.state, source);
  } catch (const ErrorStop& stop) {
    addWarnings(assembly);
    addError(assembly, stop);
    return assembly;
  }
  addWarnings(assembly);
  assembly.ok = true;
  StringSink listing;
  writeListing(*assembly.state, listing);
  assembly.listing = listing.bytes();
  return assembly;
}

Assembly assembleSource(std::string_view bytes) {
  StringSource source(bytes);
  return assembleSource(source);
}

const Diagnostic* Assembly::error() const {
  const auto found = std::find_if(diagnostics.begin(), diagnostics.end(), [](const Diagnostic& d) {
    return d.severity == Severity::kError;
  });
  return found == diagnostics.end() ? nullptr : &*found;
}

namespace {

// Throws ErrorStop at the first error and FileFailure when the source cannot be read.
void runPasses(AssemblyState& state, ByteSource& source) {
  readSource(state, source);
  setInsertionPoints(state);
  placeDataBlocks(state);
  buildPagePools(state);
  rewriteOperands(state);
  assembleWords(state);
  findDoubtfulWords(state);
}

// A diagnostic shows the bytes that do not print as escapes, so that no
// front end puts a source's raw bytes on a terminal or in a page.
void addWarnings(Assembly& assembly) {
  for (const Warning& warning : shownWarnings(*assembly.state)) {
    assembly.diagnostics.push_back({warning.line, Severity::kWarning, escapedText(warning.text)});
  }
}

void addError(Assembly& assembly, const ErrorStop& stop) {
  assembly.console = stop.message + std::string(kLineEnd);
  std::string_view message = stop.message;
  if (message.starts_with("Error: ")) message.remove_prefix(7);
  assembly.diagnostics.push_back({stop.line, Severity::kError, escapedText(message)});
  for (const Note& note : stop.notes) {
    assembly.diagnostics.push_back({note.line, Severity::kNote, escapedText(note.text)});
  }
}

}  // namespace
}  // namespace ovrik
