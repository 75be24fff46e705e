// The core for the browser playground. Assembling gives the console's bytes
// and the listing's bytes exactly as the console program writes them, and
// beside them what the page shows in its views: every memory word with its
// kind and source line, the error's line and the warnings. The page reads
// nothing out of the listing text itself.
//
// Every call that returns text returns a NUL-terminated JSON text that stays
// valid until the next call of the same kind. Texts that come from the source
// are written one character per byte (bytes above 127 as \u0080 to \u00ff), so
// the page gets back the exact bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "assemble/assemble.hpp"
#include "assemble/assemble_source.hpp"
#include "json_text.hpp"
#include "machine/load.hpp"
#include "machine/machine.hpp"
#include "run_session.hpp"
#include "tables/byte_stream.hpp"
#include "tables/tables.hpp"
#include "tables/word_notation.hpp"

namespace ovrik::web {
namespace {

const char* kindName(WordKind kind) {
  switch (kind) {
    case WordKind::kCode:
      return "code";
    case WordKind::kJump:
      return "jump";
    case WordKind::kData:
      return "data";
    case WordKind::kVariable:
      return "variable";
    case WordKind::kConstant:
      return "constant";
    case WordKind::kAddressConstant:
      return "address";
    case WordKind::kFiller:
      return "filler";
  }
  return "code";
}

// The dialogue's banner and prompt, which the console shows before what the
// assembly prints.
constexpr std::string_view kPrompt = "ovrik version 1.01 24 Apr 2009\r\nInput filename: ";

void writeWord(JsonText& json, const AssemblyState* state, int address) {
  json.beginObject();
  json.key("address").number(address);
  if (state == nullptr || !state->isListed(address)) {
    json.key("kind").text("outside");
    json.key("listed").boolean(false);
    json.endObject();
    return;
  }
  const LineRecord& word = state->codeWord(static_cast<std::int16_t>(address / kPageSize),
                                           static_cast<std::int16_t>(address % kPageSize));
  const int value = wordValue(word.code);
  json.key("kind").text(kindName(word.kind));
  json.key("listed").boolean(true);
  json.key("label").text(word.label);
  json.key("statement").text(word.body);
  json.key("code").text(word.code);
  json.key("comment").text(word.comment);
  json.key("line").number(word.line);
  json.key("value").number(value);  // -1: a code that is no word (#12, an empty code)
  if (word.kind == WordKind::kAddressConstant && value >= 0) json.key("points").number(value);
  // The word's line of the listing, as the listing writer writes it.
  StringSink line;
  line.write(wordText(static_cast<std::int16_t>(address)) + " ");
  writeListingLine(word, line);
  std::string_view text = line.bytes();
  if (text.ends_with(kLineEnd)) text.remove_suffix(kLineEnd.size());
  json.key("text").text(text);
  json.endObject();
}

struct Assembled {
  std::string json;
  std::unique_ptr<AssemblyState> state;  // null unless the source assembled
};

Assembled& lastAssembly() {
  static Assembled assembled;
  return assembled;
}

}  // namespace

RunSession& session() {
  static RunSession running;
  return running;
}

// The machine's registers and counters, read by the page after every slice
// without a call per value: 32-bit words, in the order of StatusWord.
enum StatusWord : std::size_t {
  kPc,
  kAc,
  kHalted,
  kStepsLow,
  kStepsHigh,
  kStepsBack,
  kKeysWaiting0,
  kKeysWaiting1,
  kDisplayKept0,
  kDisplayKept1,
  kDisplayTotal0,
  kDisplayTotal1,
  kDisplayReady0,
  kDisplayReady1,
  kStatusWords,
};

std::uint32_t* statusWords() {
  static std::uint32_t words[kStatusWords];
  const RunSession& running = session();
  const Machine& machine = running.machine();
  words[kPc] = machine.pc;
  words[kAc] = machine.ac;
  words[kHalted] = machine.halted ? 1 : 0;
  words[kStepsLow] = static_cast<std::uint32_t>(machine.steps);
  words[kStepsHigh] = static_cast<std::uint32_t>(machine.steps >> 32U);
  words[kStepsBack] =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(running.stepsBack(), 0xFFFFFFFFU));
  for (std::size_t port = 0; port < 2; ++port) {
    words[kKeysWaiting0 + port] = static_cast<std::uint32_t>(running.keysWaiting(port).size());
    words[kDisplayKept0 + port] = static_cast<std::uint32_t>(running.display(port).size());
    // The page only compares totals, which no session takes past 2^32.
    words[kDisplayTotal0 + port] = static_cast<std::uint32_t>(running.displayTotal(port));
    words[kDisplayReady0 + port] = machine.displays[port].ready() ? 1 : 0;
  }
  return words;
}

// A count of steps from the page, where a number is a double: anything not
// below 2^64 (infinity too) is no limit at all, anything not above 0 none.
std::uint64_t stepCount(double count) {
  if (!(count > 0)) return 0;
  if (count >= 18446744073709551615.0) return UINT64_MAX;
  return static_cast<std::uint64_t>(count);
}

std::string& machineText() {
  static std::string text;
  return text;
}

}  // namespace ovrik::web

using namespace ovrik;
using namespace ovrik::web;

extern "C" {

// Assembles `size` source bytes and returns the result as JSON:
//   status, console, listing (null when none was written, which is not the
//   same as an empty listing), error (null or {message, line}), warnings
//   [{line, text}], firstPage, lastPage, and words: the 256 memory words.
// The assembled words stay for the machine calls until the next assembly.
const char* ovrik_assemble(const unsigned char* source, std::size_t size) {
  Assembly assembly = assembleSource(std::string_view(reinterpret_cast<const char*>(source), size));
  const AssemblyState* assembled = assembly.ok ? assembly.state.get() : nullptr;

  JsonText json;
  json.beginObject();
  json.key("status").number(0);
  json.key("console").text(std::string(kPrompt) + assembly.console);
  json.key("listing");
  if (assembly.listing) {
    json.text(*assembly.listing);
  } else {
    json.null();
  }
  json.key("error");
  if (!assembly.ok) {
    json.beginObject();
    json.key("message").text(assembly.console.substr(0, assembly.console.size() - kLineEnd.size()));
    json.key("line").number(assembly.error()->line);
    json.endObject();
  } else {
    json.null();
  }
  json.key("warnings").beginArray();
  for (const Diagnostic& diagnostic : assembly.diagnostics) {
    if (diagnostic.severity != Severity::kWarning) continue;
    json.beginObject();
    json.key("line").number(diagnostic.line);
    json.key("text").text(diagnostic.message);
    json.endObject();
  }
  json.endArray();
  json.key("firstPage").number(assembled ? assembled->firstPage : -1);
  json.key("lastPage").number(assembled ? assembled->lastPage : -1);
  json.key("words").beginArray();
  for (int address = 0; address < kTableSize; ++address) writeWord(json, assembled, address);
  json.endArray();
  json.endObject();

  Assembled& last = lastAssembly();
  last.json = json.take();
  last.state = assembly.ok ? std::move(assembly.state) : nullptr;
  return last.json.c_str();
}

// Loads the last assembled program into a fresh machine, at `start` or, when
// it is negative, where the program starts by itself; returns JSON:
// {loaded, start} or, when a word has no value (#12, an empty code), the
// program is not run: {loaded: false, refused: {address, line, message}}.
const char* ovrik_machine_load(int start) {
  std::string& text = machineText();
  JsonText json;
  json.beginObject();
  const AssemblyState* state = lastAssembly().state.get();
  if (state == nullptr) {
    json.key("loaded").boolean(false);
    json.key("refused").beginObject();
    json.key("address").number(-1);
    json.key("line").number(0);
    json.key("message").text("The source does not assemble.");
    json.endObject();
  } else {
    auto loaded = loadToRun(*state);
    if (const auto* refusal = std::get_if<LoadRefusal>(&loaded)) {
      const LineRecord& word =
          state->codeWord(refusal->address / kPageSize, refusal->address % kPageSize);
      json.key("loaded").boolean(false);
      json.key("refused").beginObject();
      json.key("address").number(refusal->address);
      json.key("line").number(refusal->line);
      json.key("message").text("The word at " +
                               wordText(static_cast<std::int16_t>(refusal->address)) +
                               " has the code \"" + word.code.str() +
                               "\", which is no word of the machine: the program cannot run.");
      json.endObject();
    } else {
      const Program& program = std::get<Program>(loaded);
      const std::uint8_t from = start >= 0 ? static_cast<std::uint8_t>(start) : program.start;
      session().load(program.image, from);
      json.key("loaded").boolean(true);
      json.key("start").number(from);
    }
  }
  json.endObject();
  text = json.take();
  return text.c_str();
}

// Runs up to `count` steps, never past step `until` in all (a number of steps
// as a double, which holds every count a page can reach exactly). Returns a
// SliceEnd.
int ovrik_machine_run(double count, double until, int leaveBreakpoint) {
  const auto steps = stepCount(count);
  const auto limit = stepCount(until);
  return static_cast<int>(session().run(steps, limit, leaveBreakpoint != 0));
}

int ovrik_machine_step() {
  return static_cast<int>(session().step());
}
int ovrik_machine_step_back() {
  return session().stepBack() ? 1 : 0;
}

void ovrik_machine_key(int port, int byte) {
  session().key(port == 1 ? 1 : 0, static_cast<std::uint8_t>(byte));
}
int ovrik_machine_unkey(int port) {
  return session().unkey(port == 1 ? 1 : 0) ? 1 : 0;
}

void ovrik_machine_breakpoint(int address, int on) {
  session().setBreakpoint(static_cast<std::uint8_t>(address), on != 0);
}
void ovrik_machine_clear_breakpoints() {
  session().clearBreakpoints();
}

const std::uint32_t* ovrik_machine_status() {
  return statusWords();
}
const std::uint8_t* ovrik_machine_memory() {
  return session().machine().memory.data();
}
// The bytes a display kept (length in the status words) and the keys a
// keyboard holds that the program has not read yet.
const char* ovrik_machine_display(int port) {
  return session().display(port == 1 ? 1 : 0).data();
}
const char* ovrik_machine_keys(int port) {
  return session().keysWaiting(port == 1 ? 1 : 0).data();
}

}  // extern "C"
