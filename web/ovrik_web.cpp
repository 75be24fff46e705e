// The core for the browser playground, declared once with embind: every object
// the page gets is a struct here with its fields registered right beside it,
// so adding a field is one change in this file, and the page reads it by name.
//
// Assembling gives the console's bytes and the listing's bytes exactly as the
// console program writes them, and beside them what the page shows in its
// views: every memory word with its kind and source line, the error's line
// and the warnings. The page reads nothing out of the listing text itself.
//
// Texts cross one character per byte (the build sets EMBIND_STD_STRING_IS_UTF8
// to 0), so the page gets back the exact bytes; byte buffers cross as copies
// in a Uint8Array.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "assemble/assemble.hpp"
#include "assemble/assemble_source.hpp"
#include "assemble/explain.hpp"
#include "driver/driver.hpp"
#include "exercise_session.hpp"
#include "machine/load.hpp"
#include "machine/machine.hpp"
#include "run_session.hpp"
#include "tables/byte_stream.hpp"
#include "tables/mnemonics.hpp"
#include "tables/tables.hpp"
#include "tables/word_notation.hpp"

namespace ovrik::web {

using emscripten::val;
using emscripten::value_object;

val bytesOf(std::string_view bytes);

// ---- Assembling ----

// One memory word as the views show it.
struct WordView {
  int address = 0;
  // code, jump, data, variable, constant, address or filler; outside for a
  // word the listing does not show, whose other fields are left empty.
  std::string kind = "outside";
  bool listed = false;
  std::string label;
  std::string statement;
  std::string code;
  std::string comment;
  int line = 0;
  int value = -1;                 // -1: a code that is no word (#12, an empty code)
  val points = val::undefined();  // an address constant: the address it holds
  std::string text;               // the word's line of the listing, without its line end
  bool rewritten = false;         // the assembler rewrote its operand: explain() says why
};

EMSCRIPTEN_BINDINGS(word_view) {
  value_object<WordView>("WordView")
      .field("address", &WordView::address)
      .field("kind", &WordView::kind)
      .field("listed", &WordView::listed)
      .field("label", &WordView::label)
      .field("statement", &WordView::statement)
      .field("code", &WordView::code)
      .field("comment", &WordView::comment)
      .field("line", &WordView::line)
      .field("value", &WordView::value)
      .field("points", &WordView::points)
      .field("text", &WordView::text)
      .field("rewritten", &WordView::rewritten);
}

struct ErrorView {
  std::string message;  // the console's "Error:" line, without its line end
  int line = 0;
  // The line as the page shows it: a byte that does not print is escaped.
  std::string shown;
  val notes = val::array();  // what follows the error, [NoteView]
};

// A note after the error: what its numbers mean, where to look.
struct NoteView {
  int line = 0;
  std::string text;
};

EMSCRIPTEN_BINDINGS(error_view) {
  value_object<ErrorView>("ErrorView")
      .field("message", &ErrorView::message)
      .field("line", &ErrorView::line)
      .field("shown", &ErrorView::shown)
      .field("notes", &ErrorView::notes);
  value_object<NoteView>("NoteView").field("line", &NoteView::line).field("text", &NoteView::text);
}

// A label the source wrote, at the address of its word: what the Labels panel
// lists. Names the assembler made, and the element names after an array's
// first word, are left out.
struct LabelView {
  std::string name;
  int address = 0;
};

EMSCRIPTEN_BINDINGS(label_view) {
  value_object<LabelView>("LabelView")
      .field("name", &LabelView::name)
      .field("address", &LabelView::address);
}

struct WarningView {
  int line = 0;
  std::string text;
};

EMSCRIPTEN_BINDINGS(warning_view) {
  value_object<WarningView>("WarningView")
      .field("line", &WarningView::line)
      .field("text", &WarningView::text);
}

struct AssemblyView {
  int status = 0;  // the dialogue's exit status, 0 for every source in memory
  // Uint8Array: the banner, the prompt and the "Error:" line if any.
  val console = val::null();
  // Uint8Array, or null when none is written (not the same as an empty one).
  val listing = val::null();
  val error = val::null();      // an ErrorView, or null
  val warnings = val::array();  // [WarningView]
  int firstPage = -1;           // -1 and -1 when no listing is written
  int lastPage = -1;
  val words = val::array();   // the 256 memory words, [WordView]
  val labels = val::array();  // the source's labels in address order, [LabelView]
};

EMSCRIPTEN_BINDINGS(assembly_view) {
  value_object<AssemblyView>("AssemblyView")
      .field("status", &AssemblyView::status)
      .field("console", &AssemblyView::console)
      .field("listing", &AssemblyView::listing)
      .field("error", &AssemblyView::error)
      .field("warnings", &AssemblyView::warnings)
      .field("firstPage", &AssemblyView::firstPage)
      .field("lastPage", &AssemblyView::lastPage)
      .field("words", &AssemblyView::words)
      .field("labels", &AssemblyView::labels);
}

// The last assembly that wrote a listing, for the machine to load.
std::unique_ptr<AssemblyState>& lastAssembled() {
  static std::unique_ptr<AssemblyState> state;
  return state;
}

// The last assembly's error, when it had one: what an exercise's checks fail with.
std::optional<Diagnostic>& lastAssemblyError() {
  static std::optional<Diagnostic> error;
  return error;
}

WordView wordView(const AssemblyState* state, int address);
std::optional<Explanation>& lastExplanation();
ErrorView errorView(const Assembly& assembly);
val labelsOf(const AssemblyState& state);

// Assembles the source's bytes; the words stay for the machine until the next call.
AssemblyView assemble(const std::string& source) {
  Assembly assembly = assembleSource(source);
  const AssemblyState* assembled = assembly.ok ? assembly.state.get() : nullptr;
  AssemblyView view;
  view.console = bytesOf(std::string(kDialoguePrompt) + assembly.console);
  view.listing = assembly.listing ? bytesOf(*assembly.listing) : val::null();
  if (assembly.error() != nullptr) view.error = val(errorView(assembly));
  for (const Diagnostic& diagnostic : assembly.diagnostics) {
    if (diagnostic.severity != Severity::kWarning) continue;
    view.warnings.call<void>("push", WarningView{diagnostic.line, diagnostic.message});
  }
  if (assembled != nullptr) {
    view.firstPage = assembled->firstPage;
    view.lastPage = assembled->lastPage;
    view.labels = labelsOf(*assembled);
  }
  for (int address = 0; address < kTableSize; ++address) {
    view.words.call<void>("push", wordView(assembled, address));
  }
  lastAssembled() = assembly.ok ? std::move(assembly.state) : nullptr;
  const Diagnostic* error = assembly.error();
  lastAssemblyError() = error != nullptr ? std::optional(*error) : std::nullopt;
  lastExplanation().reset();
  return view;
}

// The console's line as it is, without its line end; the diagnostics give
// the same line escaped, and the notes after it.
ErrorView errorView(const Assembly& assembly) {
  ErrorView view;
  view.message = assembly.console.substr(0, assembly.console.size() - kLineEnd.size());
  view.line = assembly.error()->line;
  view.shown = "Error: " + assembly.error()->message;
  for (const Diagnostic& diagnostic : assembly.diagnostics) {
    if (diagnostic.severity != Severity::kNote) continue;
    view.notes.call<void>("push", NoteView{diagnostic.line, diagnostic.message});
  }
  return view;
}

bool isSourceLabel(const LineRecord& word) {
  return !word.label.empty() && !word.labelMade && !word.label.contains("[") &&
         word.kind != WordKind::kAddressConstant && word.kind != WordKind::kJump &&
         word.kind != WordKind::kFiller;
}

val labelsOf(const AssemblyState& state) {
  val labels = val::array();
  for (int address = 0; address < kTableSize; ++address) {
    if (!state.isListed(address)) continue;
    const LineRecord& word = state.codeWord(address / kPageSize, address % kPageSize);
    if (isSourceLabel(word)) labels.call<void>("push", LabelView{word.label.str(), address});
  }
  return labels;
}

std::string kindName(WordKind kind);

WordView wordView(const AssemblyState* state, int address) {
  WordView view;
  view.address = address;
  if (state == nullptr || !state->isListed(address)) return view;
  const LineRecord& word = state->codeWord(address / kPageSize, address % kPageSize);
  view.kind = kindName(word.kind);
  view.listed = true;
  view.label = word.label.str();
  view.statement = word.body.str();
  view.code = word.code.str();
  view.comment = word.comment.str();
  view.line = word.line;
  view.value = wordValue(word.code);
  if (word.kind == WordKind::kAddressConstant && view.value >= 0) view.points = val(view.value);
  StringSink line;
  line.write(wordText(static_cast<std::int16_t>(address)) + " ");
  writeListingLine(word, line);
  std::string_view text = line.bytes();
  if (text.ends_with(kLineEnd)) text.remove_suffix(kLineEnd.size());
  view.text = std::string(text);
  view.rewritten = word.operandRewritten;
  return view;
}

// ---- Why a word is there ----

// Why a word is there and what it does, as ovrik --explain says it, and the
// words it reaches and those that reach it (addresses, in Uint8Arrays).
struct ReasonsView {
  std::string why;   // empty for a word the program does not list
  std::string does;  // what a memory-reference instruction does with its addresses
  val reaches = val::null();
  val reachedBy = val::null();
};

EMSCRIPTEN_BINDINGS(reasons_view) {
  value_object<ReasonsView>("ReasonsView")
      .field("why", &ReasonsView::why)
      .field("does", &ReasonsView::does)
      .field("reaches", &ReasonsView::reaches)
      .field("reachedBy", &ReasonsView::reachedBy);
}

// What reaches what in the last assembly, found at the first question after
// it; the sentences of a word when it is first asked about. The page asks
// about the few words it shows, so a keystroke does not pay for them all.
std::optional<Explanation>& lastExplanation() {
  static std::optional<Explanation> explanation;
  return explanation;
}

val addressesOf(const std::vector<std::uint8_t>& addresses) {
  return bytesOf({reinterpret_cast<const char*>(addresses.data()), addresses.size()});
}

// The reasons of the word at address in the last assembly that wrote a
// listing; nothing for a source that did not assemble.
ReasonsView explain(int address) {
  const AssemblyState* state = lastAssembled().get();
  std::optional<Explanation>& explanation = lastExplanation();
  if (state != nullptr && !explanation) explanation = linkAssembly(*state);
  static const WordReasons kNone;
  const bool known = explanation && address >= 0 && address < kTableSize;
  WordReasons* reasons = known ? &explanation->words[static_cast<std::size_t>(address)] : nullptr;
  if (reasons != nullptr && reasons->why.empty()) explainWord(*state, *explanation, address);
  const WordReasons& found = reasons != nullptr ? *reasons : kNone;
  return {found.why, found.does, addressesOf(found.reaches), addressesOf(found.reachedBy)};
}

std::string kindName(WordKind kind) {
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
      break;
  }
  return "filler";
}

// ---- The instruction set, for the page's highlighter ----

struct MnemonicView {
  std::string name;
  std::string code;   // as the guide's tables give it: one digit, or a whole word for port 0
  std::string group;  // memory reference, input output or operate
};

EMSCRIPTEN_BINDINGS(mnemonic_view) {
  value_object<MnemonicView>("MnemonicView")
      .field("name", &MnemonicView::name)
      .field("code", &MnemonicView::code)
      .field("group", &MnemonicView::group);
}

val mnemonics() {
  val table = val::array();
  for (const Mnemonic& mnemonic : kMnemonics) {
    const char* group = mnemonic.isMemoryReference() ? "memory reference"
                        : mnemonic.isInputOutput()   ? "input output"
                                                     : "operate";
    table.call<void>("push",
                     MnemonicView{std::string(mnemonic.name), std::string(mnemonic.code), group});
  }
  return table;
}

// ---- The machine ----

// What loading the last assembly gave: a machine ready at start, or the
// reason it is not run.
struct LoadView {
  bool loaded = false;
  val start = val::undefined();    // the address the run starts at, when loaded
  val refused = val::undefined();  // a RefusalView, when not
};

struct RefusalView {
  int address = -1;  // the word without a value, -1 when the source does not assemble
  int line = 0;
  std::string message;
};

EMSCRIPTEN_BINDINGS(load_view) {
  value_object<LoadView>("LoadView")
      .field("loaded", &LoadView::loaded)
      .field("start", &LoadView::start)
      .field("refused", &LoadView::refused);
  value_object<RefusalView>("RefusalView")
      .field("address", &RefusalView::address)
      .field("line", &RefusalView::line)
      .field("message", &RefusalView::message);
}

// The machine's registers and counters, read by the page after every slice.
struct StatusView {
  int pc = 0;
  int ac = 0;
  bool halted = false;
  int haltedAt = -1;  // the address of the HLT word the machine halted at, -1 while it runs
  double steps = 0;
  double stepsBack = 0;                  // how many steps can be taken back
  std::array<double, 2> keysWaiting{};   // keys of each keyboard the program has not read
  std::array<double, 2> displayTotal{};  // bytes each display received since the load
};

EMSCRIPTEN_BINDINGS(status_view) {
  emscripten::value_array<std::array<double, 2>>("PortPair")
      .element(emscripten::index<0>())
      .element(emscripten::index<1>());
  value_object<StatusView>("StatusView")
      .field("pc", &StatusView::pc)
      .field("ac", &StatusView::ac)
      .field("halted", &StatusView::halted)
      .field("haltedAt", &StatusView::haltedAt)
      .field("steps", &StatusView::steps)
      .field("stepsBack", &StatusView::stepsBack)
      .field("keysWaiting", &StatusView::keysWaiting)
      .field("displayTotal", &StatusView::displayTotal);
}

std::uint64_t stepCount(double count);
std::string sliceEndName(SliceEnd end);

// The page's one machine, which runs the last assembly. Ports are 0 or 1.
class PageMachine {
 public:
  // Loads the last assembly into a fresh machine, at `start` or, when it is
  // negative or left out, where the program starts by itself.
  LoadView load() { return load(-1); }
  LoadView load(int start);
  // Up to `count` steps, never past step `until` in all (numbers of steps as
  // doubles, which hold every count a page can reach exactly); says how the
  // slice ended: step limit, halted, waiting for input or breakpoint.
  std::string run(double count, double until, bool leaveBreakpoint) {
    return sliceEndName(session_.run(stepCount(count), stepCount(until), leaveBreakpoint));
  }
  // One step: stepped, halted or waiting for input.
  std::string step() { return sliceEndName(session_.step()); }
  bool stepBack() { return session_.stepBack(); }
  // false when the keyboard is full (64 KiB of keys not read) and the key is dropped
  bool key(int port, int byte) {
    return session_.key(portOf(port), static_cast<std::uint8_t>(byte));
  }
  bool unkey(int port) { return session_.unkey(portOf(port)); }
  void breakpoint(int address, bool on) {
    session_.setBreakpoint(static_cast<std::uint8_t>(address), on);
  }
  void clearBreakpoints() { session_.clearBreakpoints(); }
  StatusView status() const;
  // Copies: the 256 words of memory, the bytes a display shows (its last 64 KiB)
  // and the keys a keyboard holds that the program has not read yet.
  val memory() const {
    const auto& words = session_.machine().memory;
    return bytesOf({reinterpret_cast<const char*>(words.data()), words.size()});
  }
  val display(int port) const { return bytesOf(session_.display(portOf(port))); }
  val keys(int port) const { return bytesOf(session_.keysWaiting(portOf(port))); }

 private:
  static std::size_t portOf(int port) { return port == 1 ? 1 : 0; }

  RunSession session_;
};

EMSCRIPTEN_BINDINGS(page_machine) {
  emscripten::class_<PageMachine>("Machine")
      .constructor<>()
      .function("load", emscripten::select_overload<LoadView()>(&PageMachine::load))
      .function("load", emscripten::select_overload<LoadView(int)>(&PageMachine::load))
      .function("run", &PageMachine::run)
      .function("step", &PageMachine::step)
      .function("stepBack", &PageMachine::stepBack)
      .function("key", &PageMachine::key)
      .function("unkey", &PageMachine::unkey)
      .function("breakpoint", &PageMachine::breakpoint)
      .function("clearBreakpoints", &PageMachine::clearBreakpoints)
      .function("status", &PageMachine::status)
      .function("memory", &PageMachine::memory)
      .function("display", &PageMachine::display)
      .function("keys", &PageMachine::keys);
  emscripten::function("assemble", &assemble);
  emscripten::function("explain", &explain);
  emscripten::function("mnemonics", &mnemonics);
}

LoadView PageMachine::load(int start) {
  LoadView view;
  const AssemblyState* state = lastAssembled().get();
  if (state == nullptr) {
    view.refused = val(RefusalView{-1, 0, "The source does not assemble."});
    return view;
  }
  auto loaded = loadToRun(*state);
  if (const auto* refusal = std::get_if<LoadRefusal>(&loaded)) {
    const int address = refusal->address;
    const LineRecord& word = state->codeWord(address / kPageSize, address % kPageSize);
    view.refused = val(RefusalView{
        address, refusal->line,
        "The word at " + wordText(static_cast<std::int16_t>(address)) + " has the code \"" +
            word.code.str() + "\", which is no word of the machine: the program cannot run."});
    return view;
  }
  const Program& program = std::get<Program>(loaded);
  const std::uint8_t from = start >= 0 ? static_cast<std::uint8_t>(start) : program.start;
  session_.load(program.image, from);
  view.loaded = true;
  view.start = val(from);
  return view;
}

StatusView PageMachine::status() const {
  const Machine& machine = session_.machine();
  StatusView view;
  view.pc = machine.pc;
  view.ac = machine.ac;
  view.halted = machine.halted;
  if (machine.halted) view.haltedAt = machine.haltedAt;
  view.steps = static_cast<double>(machine.steps);
  view.stepsBack = static_cast<double>(session_.stepsBack());
  for (std::size_t port = 0; port < 2; ++port) {
    view.keysWaiting[port] = static_cast<double>(session_.keysWaiting(port).size());
    view.displayTotal[port] = static_cast<double>(session_.displayTotal(port));
  }
  return view;
}

// A count of steps from the page, where a number is a double: anything not
// below 2^64 (infinity too) is no limit at all, anything not above 0 none.
std::uint64_t stepCount(double count) {
  if (!(count > 0)) return 0;
  if (count >= 18446744073709551615.0) return UINT64_MAX;
  return static_cast<std::uint64_t>(count);
}

std::string sliceEndName(SliceEnd end) {
  switch (end) {
    case SliceEnd::kStepLimit:
      return "step limit";
    case SliceEnd::kHalted:
      return "halted";
    case SliceEnd::kWaiting:
      return "waiting for input";
    case SliceEnd::kBreakpoint:
      return "breakpoint";
    case SliceEnd::kStepped:
      break;
  }
  return "stepped";
}

// ---- Exercises ----

// What is wrong with an exercise file, as ovrik --check says it after FILE:LINE: error:.
struct ExerciseErrorView {
  std::string message;
  int line = 0;  // 0 when the fault is the file's as a whole
};

// An exercise as the page shows it. Texts are the file's bytes (UTF-8).
struct ExerciseView {
  val error = val::null();  // an ExerciseErrorView, or null
  std::string title;
  std::string task;           // Markdown
  val starter = val::null();  // the starter source, or null
  val checks = val::array();  // [CheckView], none run yet
};

// A check and, once it has run on the last assembly, its result.
struct CheckView {
  std::string name;
  double points = 0;
  std::string state = "running";   // running, passed or failed
  val differences = val::array();  // [string]: what differed, as ovrik --check says it
  double steps = 0;
};

EMSCRIPTEN_BINDINGS(exercise_views) {
  value_object<ExerciseErrorView>("ExerciseErrorView")
      .field("message", &ExerciseErrorView::message)
      .field("line", &ExerciseErrorView::line);
  value_object<ExerciseView>("ExerciseView")
      .field("error", &ExerciseView::error)
      .field("title", &ExerciseView::title)
      .field("task", &ExerciseView::task)
      .field("starter", &ExerciseView::starter)
      .field("checks", &ExerciseView::checks);
  value_object<CheckView>("CheckView")
      .field("name", &CheckView::name)
      .field("points", &CheckView::points)
      .field("state", &CheckView::state)
      .field("differences", &CheckView::differences)
      .field("steps", &CheckView::steps);
}

// The page's one open exercise. Its checks run on the last assembly, in
// slices the page asks for between keystrokes: the checks, like the
// assembler, are the core's, and the page only shows what they say.
class PageChecker {
 public:
  ExerciseView open(const std::string& file) {
    ExerciseView view;
    const auto opened = session_.open(file);
    if (const auto* error = std::get_if<ExerciseError>(&opened)) {
      view.error = val(ExerciseErrorView{error->message, error->line});
      return view;
    }
    const Exercise& exercise = *std::get<const Exercise*>(opened);
    view.title = exercise.title;
    view.task = exercise.task;
    if (exercise.starter) view.starter = val(*exercise.starter);
    view.checks = results();
    return view;
  }
  void close() { session_.close(); }
  // Every check afresh on the last assembly.
  void start() {
    session_.start(lastAssembled().get(), lastAssemblyError() ? &*lastAssemblyError() : nullptr);
  }
  // Up to `steps` more steps of the checks; true once all have their results.
  bool advance(double steps) { return session_.advance(stepCount(steps)); }
  val results() const;

 private:
  ExerciseSession session_;
};

val PageChecker::results() const {
  val views = val::array();
  const Exercise* exercise = session_.exercise();
  if (exercise == nullptr) return views;
  const std::vector<std::optional<CheckResult>> results = session_.results();
  for (std::size_t at = 0; at < exercise->checks.size(); ++at) {
    const Check& check = exercise->checks[at];
    CheckView view{check.name, static_cast<double>(check.points)};
    if (at < results.size() && results[at]) {
      view.state = results[at]->passed ? "passed" : "failed";
      for (const std::string& line : results[at]->differences) {
        view.differences.call<void>("push", val(line));
      }
      view.steps = static_cast<double>(results[at]->steps);
    }
    views.call<void>("push", view);
  }
  return views;
}

EMSCRIPTEN_BINDINGS(page_checker) {
  emscripten::class_<PageChecker>("Checker")
      .constructor<>()
      .function("open", &PageChecker::open)
      .function("close", &PageChecker::close)
      .function("start", &PageChecker::start)
      .function("advance", &PageChecker::advance)
      .function("results", &PageChecker::results);
}

val bytesOf(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  return val::global("Uint8Array").new_(emscripten::typed_memory_view(bytes.size(), data));
}

}  // namespace ovrik::web
