// Reading an exercise file: TOML read by toml++, then every key looked at in
// the order of the file, so that the first fault a teacher is shown is the
// first one they wrote. A key that is not known is a fault, never skipped.

// toml++ states what its parser takes for granted as assertions, and one of
// them a malformed table header breaks ("[[\u0001]"): a debug build aborts on
// it, and with NDEBUG it becomes an assumption the optimiser may build on
// (clang's, as in the page). Neither may follow from a file a teacher writes:
// here they check nothing, and the parser goes on to report the error, as it
// does in GCC's release builds.
#pragma push_macro("NDEBUG")
#undef NDEBUG
#define TOML_ASSERT(expr) static_assert(true)
#include <toml++/toml.h>
#pragma pop_macro("NDEBUG")

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "exercises/exercise.hpp"
#include "exercises/shown_bytes.hpp"
#include "tables/fixed_text.hpp"
#include "tables/tables.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

// A fault in the file; it unwinds to readExercise, which hands it back as a value.
struct Fault {
  std::int32_t line = 0;
  std::string message;
};

struct Entry {
  std::string_view key;
  const toml::node* value = nullptr;
  std::int32_t line = 0;
  std::uint32_t column = 0;
};

constexpr std::string_view kFileKeys =
    "title, task, starter, max_steps, max_words, max_pages and [[check]]";
constexpr std::string_view kCheckKeys =
    "name, set, expect, input, input1, display, display1, ends, start, points and max_steps";
constexpr std::int64_t kMostPoints = 1'000'000;

Exercise readFile(const toml::table& file);
std::int32_t lineOf(const toml::source_region& region);

}  // namespace

std::variant<Exercise, ExerciseError> readExercise(std::string_view bytes) {
  try {
    return readFile(toml::parse(bytes));
  } catch (const toml::parse_error& error) {
    return ExerciseError{lineOf(error.source()), printableText(error.description())};
  } catch (const Fault& fault) {
    return ExerciseError{fault.line, fault.message};
  }
}

std::optional<ExerciseError> findRepeatedCheck(const Exercise& earlier, const Exercise& later) {
  std::set<std::string_view> names;
  for (const Check& check : earlier.checks) names.insert(check.name);
  for (const Check& check : later.checks) {
    if (names.contains(check.name)) {
      return ExerciseError{check.line, "check " + quotedText(check.name) +
                                           " is in an exercise file given before this one too"};
    }
  }
  return std::nullopt;
}

namespace {

// ---- The file's own keys ----

std::vector<Entry> inFileOrder(const toml::table& table);
std::string textOf(const Entry& entry, std::string_view what);
std::int64_t wholeNumber(const Entry& entry, std::string_view what, std::int64_t least,
                         std::int64_t most);
[[noreturn]] void fail(std::int32_t line, std::string message);
std::vector<Check> readChecks(const Entry& entry, std::uint64_t maxSteps);

Exercise readFile(const toml::table& file) {
  Exercise exercise;
  auto maxSteps = static_cast<std::uint64_t>(kDefaultCheckSteps);
  std::optional<Entry> checks;
  for (const Entry& entry : inFileOrder(file)) {
    const std::string_view key = entry.key;
    if (key == "title") {
      exercise.title = textOf(entry, "title");
    } else if (key == "task") {
      exercise.task = textOf(entry, "task");
    } else if (key == "starter") {
      exercise.starter = textOf(entry, "starter");
    } else if (key == "max_steps") {
      maxSteps = static_cast<std::uint64_t>(
          wholeNumber(entry, "max_steps", 1, static_cast<std::int64_t>(kMostCheckSteps)));
    } else if (key == "max_words") {
      exercise.maxWords = static_cast<int>(wholeNumber(entry, "max_words", 1, 256));
    } else if (key == "max_pages") {
      exercise.maxPages = static_cast<int>(wholeNumber(entry, "max_pages", 1, kPageCount));
    } else if (key == "check") {
      checks = entry;
    } else {
      fail(entry.line,
           "unknown key " + quotedKey(key) + "; an exercise has " + std::string(kFileKeys));
    }
  }
  if (!checks) fail(0, "the exercise has no checks: add one with [[check]]");
  // Top-level keys come before every [[check]] in TOML, so max_steps is known by now.
  exercise.checks = readChecks(*checks, maxSteps);
  return exercise;
}

// ---- The checks ----

class CheckReader {
 public:
  CheckReader(const toml::table& table, std::int32_t line, std::uint64_t maxSteps) : table_(table) {
    check_.line = line;
    check_.maxSteps = maxSteps;
  }
  // `named` holds the names of the checks before this one, with their lines.
  Check read(std::map<std::string, std::int32_t>& named);

 private:
  void readKey(const Entry& entry);
  std::vector<LabelledWord> labelledWords(const Entry& entry);
  std::uint8_t word(const Entry& entry, std::string_view what);
  void readStart(const Entry& entry);
  void readEnds(const Entry& entry);
  [[noreturn]] void failAt(const Entry& entry, const std::string& message) const {
    fail(entry.line, "check " + quotedText(check_.name) + ": " + message);
  }

  const toml::table& table_;
  Check check_;
};

std::vector<Check> readChecks(const Entry& entry, std::uint64_t maxSteps) {
  const toml::array* tables = entry.value->as_array();
  if (tables == nullptr || !tables->is_array_of_tables()) {
    fail(entry.line, "check must be a list of tables, each begun with [[check]]");
  }
  if (tables->empty()) fail(entry.line, "the exercise has no checks: add one with [[check]]");
  std::vector<Check> checks;
  checks.reserve(tables->size());
  std::map<std::string, std::int32_t> named;
  for (const toml::node& node : *tables) {
    CheckReader reader(*node.as_table(), lineOf(node.source()), maxSteps);
    checks.push_back(reader.read(named));
  }
  return checks;
}

Check CheckReader::read(std::map<std::string, std::int32_t>& named) {
  const toml::node* name = table_.get("name");
  if (name == nullptr) fail(check_.line, "a check needs a name: name = \"...\"");
  const Entry nameEntry{"name", name, lineOf(name->source()), 0};
  check_.name = textOf(nameEntry, "a check's name");
  // Reports show the name as it is, in a terminal, JSON or XML alike.
  if (check_.name.empty() || printableText(check_.name) != check_.name) {
    fail(nameEntry.line,
         "a check's name must be one line of printable text, not " + quotedText(check_.name));
  }
  const auto [first, added] = named.try_emplace(check_.name, check_.line);
  if (!added) {
    fail(nameEntry.line, "check " + quotedText(check_.name) +
                             " is named twice; the first is on line " +
                             std::to_string(first->second));
  }
  for (const Entry& entry : inFileOrder(table_)) {
    if (entry.key != "name") readKey(entry);
  }
  return check_;
}

void CheckReader::readKey(const Entry& entry) {
  const std::string_view key = entry.key;
  const auto port = static_cast<std::size_t>(key.ends_with('1') ? 1 : 0);
  const std::string what = "check " + quotedText(check_.name) + ": " + std::string(key);
  if (key == "set") {
    check_.set = labelledWords(entry);
  } else if (key == "expect") {
    check_.expect = labelledWords(entry);
  } else if (key == "input" || key == "input1") {
    check_.input[port] = textOf(entry, what);
  } else if (key == "display" || key == "display1") {
    check_.display[port] = textOf(entry, what);
  } else if (key == "ends") {
    readEnds(entry);
  } else if (key == "start") {
    readStart(entry);
  } else if (key == "points") {
    check_.points = wholeNumber(entry, what, 0, kMostPoints);
  } else if (key == "max_steps") {
    check_.maxSteps = static_cast<std::uint64_t>(
        wholeNumber(entry, what, 1, static_cast<std::int64_t>(kMostCheckSteps)));
  } else {
    failAt(entry, "unknown key " + quotedKey(key) + "; a check has " + std::string(kCheckKeys));
  }
}

std::vector<LabelledWord> CheckReader::labelledWords(const Entry& entry) {
  const toml::table* labels = entry.value->as_table();
  if (labels == nullptr) {
    failAt(entry, std::string(entry.key) + " must be a table of labels and words, like { A = 2 }");
  }
  std::vector<LabelledWord> words;
  for (const Entry& label : inFileOrder(*labels)) {
    if (label.key.empty() || label.key.size() > kFieldLength) {
      failAt(label, std::string(entry.key) + ": " + quotedKey(label.key) +
                        " cannot be a label: a label has 1 to 47 characters");
    }
    const std::string what = std::string(entry.key) + " " + printableText(label.key);
    words.push_back({std::string(label.key), word(label, what)});
  }
  return words;
}

// A word is given as it is stored (0 to 255) or as a negative number (-128 to -1).
std::uint8_t CheckReader::word(const Entry& entry, std::string_view what) {
  const std::optional<std::int64_t> value = entry.value->value_exact<std::int64_t>();
  if (!value || *value < -128 || *value > 255) {
    std::string given = "not a whole number";
    if (value) given = "not " + std::to_string(*value);
    failAt(entry, std::string(what) + " must be a word: 0 to 255, or -128 to -1; " + given);
  }
  return static_cast<std::uint8_t>(*value & 0xFF);
}

void CheckReader::readEnds(const Entry& entry) {
  const std::string ends = textOf(entry, "check " + quotedText(check_.name) + ": ends");
  if (ends == "halted") {
    check_.ends = ExpectedEnd::kHalted;
  } else if (ends == "waiting for input") {
    check_.ends = ExpectedEnd::kWaitingForInput;
  } else {
    failAt(entry, "ends must be \"halted\" or \"waiting for input\", not " + quotedText(ends));
  }
}

// Three digits are an address and must be one; anything else names a label.
void CheckReader::readStart(const Entry& entry) {
  const std::string start = textOf(entry, "check " + quotedText(check_.name) + ": start");
  const bool digits = start.size() == 3 && std::all_of(start.begin(), start.end(),
                                                       [](char c) { return c >= '0' && c <= '9'; });
  if (digits && wordValue(start) < 0) {
    failAt(entry, "start " + start + " is no address in the word notation (000 to 737)");
  }
  if (start.empty() || start.size() > kFieldLength) {
    failAt(entry, "start must be a label (1 to 47 characters) or an address, like \"START\"");
  }
  check_.start = start;
}

// ---- Values ----

// A table's keys in the order the file gives them; toml++ keeps them sorted.
std::vector<Entry> inFileOrder(const toml::table& table) {
  std::vector<Entry> entries;
  for (const auto& [key, value] : table) {
    entries.push_back({key.str(), &value, lineOf(key.source()), key.source().begin.column});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  return entries;
}

std::string textOf(const Entry& entry, std::string_view what) {
  const std::optional<std::string> text = entry.value->value_exact<std::string>();
  if (!text) fail(entry.line, std::string(what) + " must be a string in quotes");
  return *text;
}

std::int64_t wholeNumber(const Entry& entry, std::string_view what, std::int64_t least,
                         std::int64_t most) {
  const std::optional<std::int64_t> value = entry.value->value_exact<std::int64_t>();
  if (!value) fail(entry.line, std::string(what) + " must be a whole number");
  if (*value < least || *value > most) {
    fail(entry.line, std::string(what) + " must be " + std::to_string(least) + " to " +
                         std::to_string(most) + ", not " + std::to_string(*value));
  }
  return *value;
}

std::int32_t lineOf(const toml::source_region& region) {
  constexpr auto kMost = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(std::min(region.begin.line, kMost));
}

void fail(std::int32_t line, std::string message) {
  throw Fault{line, std::move(message)};
}

}  // namespace
}  // namespace ovrik
