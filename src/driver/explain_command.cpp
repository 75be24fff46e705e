#include "driver/explain_command.hpp"

#include <cstddef>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "tables/word_notation.hpp"

namespace ovrik {

int runReportCommand(ReportForm form, const std::string& file, const AssembleOptions& options,
                     Console console, FileSystem& files) {
  AssembleOptions assembling = options;
  assembling.quiet = true;
  // The JSON carries the diagnostics itself: standard error stays quiet.
  std::ostringstream unused;
  const Console reporting{console.in, console.out,
                          form == ReportForm::kJson ? unused : console.err};
  const Assembly assembly = assembleListedFile(file, assembling, reporting, files);
  if (form == ReportForm::kJson) {
    console.out << assemblyJson(assembly, options.warningsAsErrors);
  } else if (assembly.ok) {
    console.out << explanationText(*assembly.state, explainAssembly(*assembly.state));
  }
  return assembly.ok ? 0 : 1;
}

std::string explanationText(const AssemblyState& state, const Explanation& explanation) {
  std::string text;
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    text += "/" + std::to_string(page) + "\n";
    for (int slot = 0; slot < kPageSize; ++slot) {
      const int address = page * kPageSize + slot;
      if (!state.isListed(address)) break;
      const LineRecord& word = state.codeWord(page, slot);
      text += wordText(static_cast<std::int16_t>(address)) + " " +
              std::string(kindText(word.kind)) + " " + word.body.str() + " -- " +
              explanation.words[static_cast<std::size_t>(address)].why + "\n";
    }
  }
  return text;
}

namespace {

using Json = nlohmann::ordered_json;

// Texts from the source are bytes: each is written as the character of that
// code, as the playground reads them, so every byte comes back unchanged.
std::string asCharacters(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

Json addresses(const std::vector<std::uint8_t>& list) {
  Json array = Json::array();
  for (const std::uint8_t address : list) array.push_back(address);
  return array;
}

Json wordJson(const AssemblyState* state, const Explanation* explanation, int address) {
  const bool listed = state != nullptr && state->isListed(address);
  Json word;
  word["address"] = address;
  word["listed"] = listed;
  const LineRecord empty;
  const LineRecord& record = listed ? state->codeTable[static_cast<std::size_t>(address)] : empty;
  word["label"] = asCharacters(record.label);
  word["statement"] = asCharacters(record.body);
  word["code"] = asCharacters(record.code);
  word["comment"] = asCharacters(record.comment);
  const int value = wordValue(record.code);
  word["value"] = listed && value >= 0 ? Json(value) : Json(nullptr);
  word["kind"] = listed ? Json(std::string(kindText(record.kind))) : Json(nullptr);
  word["line"] = record.line > 0 ? Json(record.line) : Json(nullptr);
  const WordReasons none;
  const WordReasons& reasons =
      explanation != nullptr ? explanation->words[static_cast<std::size_t>(address)] : none;
  word["why"] = asCharacters(reasons.why);
  word["does"] = asCharacters(reasons.does);
  word["reaches"] = addresses(reasons.reaches);
  word["reached_by"] = addresses(reasons.reachedBy);
  return word;
}

// As the command line reports it: with -W a warning is an error.
Json diagnosticJson(const Diagnostic& diagnostic, bool warningsAsErrors) {
  const bool warning = diagnostic.severity == Severity::kWarning;
  std::string severity = "error";
  if (warning && !warningsAsErrors) severity = "warning";
  if (diagnostic.severity == Severity::kNote) severity = "note";
  const std::string message = diagnostic.message + (warning && warningsAsErrors ? " [-W]" : "");
  return {{"line", diagnostic.line > 0 ? Json(diagnostic.line) : Json(nullptr)},
          {"severity", severity},
          {"message", asCharacters(message)}};
}

}  // namespace

std::string assemblyJson(const Assembly& assembly, bool warningsAsErrors) {
  const AssemblyState* state = assembly.ok ? assembly.state.get() : nullptr;
  std::optional<Explanation> explanation;
  if (state != nullptr) explanation = explainAssembly(*state);
  Json report;
  report["ok"] = assembly.ok;
  report["diagnostics"] = Json::array();
  for (const Diagnostic& diagnostic : assembly.diagnostics) {
    report["diagnostics"].push_back(diagnosticJson(diagnostic, warningsAsErrors));
  }
  report["words"] = Json::array();
  for (int address = 0; address < kTableSize; ++address) {
    report["words"].push_back(wordJson(state, explanation ? &*explanation : nullptr, address));
  }
  return report.dump() + "\n";
}

}  // namespace ovrik
