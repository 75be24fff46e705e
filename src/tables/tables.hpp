#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tables/fixed_text.hpp"

namespace ovrik {

inline constexpr std::int16_t kPageCount = 16;
inline constexpr std::int16_t kPageSize = 16;
inline constexpr std::int16_t kTableSize = 256;

// What a memory word is, so that a listing reader or the playground never has
// to guess it from the texts. Every record starts as code; the passes that make
// other words say what they made.
enum class WordKind : std::uint8_t {
  kCode,             // a word written in the source: instruction, RTNADR, a code literal
  kJump,             // the jump the page layout inserts over the data
  kData,             // an element of an ARRAY or TABLE
  kVariable,         // a pool copy of a VAR or VAR= line
  kConstant,         // a pool copy of a constant literal line, "A(X)" written in the source too
  kAddressConstant,  // a pool word the assembler makes to reach a word of another page
  kFiller,           // a BLANK that fills a page's free words
};

// One source line or one memory word; records move by copying all their fields.
struct LineRecord {
  FieldText label;
  FieldText body;
  FieldText code;
  FieldText comment;
  // The source line the word came from, 1 for the first line of the file; 0
  // for the words the assembler makes on its own (a jump, a filler word).
  std::int32_t line = 0;
  WordKind kind = WordKind::kCode;
  // The label is the "END" + page the layout gave the word behind its jump.
  bool labelMade = false;
  // Operand rewriting made the direct "TAD X" into "TAD I XA": the source
  // wrote the statement without the "I " and the "A".
  bool operandRewritten = false;
  // The index of an ARRAY or TABLE word in its declaration (element 0 carries
  // the bare name, and a label cut at 47 bytes may have lost the index).
  std::int16_t element = 0;

  friend bool operator==(const LineRecord&, const LineRecord&) = default;
};

// Table numbers as the lookups and the pool transfer take them.
enum TableId : std::int16_t {
  kCodeTable = 0,
  kPoolTable = 1,
  kDataTable = 2,
  kVariableTable = 3,
  kConstantTable = 4,
};

// Rows of pageFill.
enum FillRow : std::int16_t {
  kCodeCount = 0,
  kPoolCount = 1,
  kDataCount = 2,
  kDataStart = 3,
  kInsertionPoint = 4,
};

using Table = std::array<LineRecord, kTableSize>;

// What a warning is about: a source that repeats one slip hundreds of times
// is shown a few of each kind, and how many more there are.
enum class WarningKind : std::uint8_t {
  kOther,
  kLabelTwice,
  kFarReference,
  kTab,
  kNoPageDirective,
  kBeforeFirstPage,
  kCodeNoWord,
  kCommaNotInColumnOne,
  kDirectiveLike,
  kLiteral,
  kNoWords,
};
inline constexpr std::size_t kWarningKinds = 11;

// Something in the source that assembles but is likely not what was meant.
// The dialogue never shows warnings; the command line and the playground do.
struct Warning {
  std::int32_t line = 0;  // the source line, 0 when none applies
  std::string text;
  WarningKind kind = WarningKind::kOther;

  friend bool operator==(const Warning&, const Warning&) = default;
};

// A line that follows an error, in the form compilers use: where to look, and
// what the error's words and numbers mean. The dialogue never shows notes.
struct Note {
  std::int32_t line = 0;  // the source line, 0 when none applies
  std::string text;

  friend bool operator==(const Note&, const Note&) = default;
};

// Everything the passes share. The driver owns one and hands it to every pass.
struct AssemblyState {
  Table codeTable;
  Table poolTable;
  Table dataTable;
  Table variableTable;
  Table constantTable;
  // Records in use in variableTable and constantTable, indexed by TableId.
  std::array<std::int16_t, 5> tableCount{};
  std::array<std::array<std::int16_t, kPageCount>, 5> pageFill{};
  std::int16_t firstPage = 0;
  std::int16_t lastPage = 0;
  // The source line of the directive that named each page last (0: none did),
  // for the messages about a page as a whole.
  std::array<std::int32_t, kPageCount> directiveLine{};
  // Pages whose inserted jump names the "END" + page the layout made.
  std::array<bool, kPageCount> endLabelMade{};
  std::vector<Warning> warnings;
  // Every warning given, of each kind, kept or not.
  std::array<std::int32_t, kWarningKinds> warningsGiven{};

  friend bool operator==(const AssemblyState&, const AssemblyState&) = default;

  // Slot 16 of a page would be slot 0 of the next: no pass may ever reach it.
  static std::size_t wordIndex(int page, int slot) {
    assert(page >= 0 && page < kPageCount && slot >= 0 && slot < kPageSize);
    return static_cast<std::size_t>(page * kPageSize + slot);
  }

  Table& table(TableId id);
  const Table& table(TableId id) const;

  // The counters stay 16-bit; the passes count with plain ints.
  std::int16_t& fill(FillRow row, int page) {
    assert(page >= 0 && page < kPageCount);
    return pageFill[static_cast<std::size_t>(row)][static_cast<std::size_t>(page)];
  }
  std::int16_t fill(FillRow row, int page) const {
    assert(page >= 0 && page < kPageCount);
    return pageFill[static_cast<std::size_t>(row)][static_cast<std::size_t>(page)];
  }
  // The words of a page the listing shows, and so the machine loads: its code
  // words, never more than a page holds.
  int listedWords(int page) const { return std::min<int>(fill(kCodeCount, page), kPageSize); }
  // Whether the word at address is one of them, in a page from the first to the last.
  bool isListed(int address) const {
    const int page = address / kPageSize;
    return address >= 0 && page >= firstPage && page <= lastPage &&
           address % kPageSize < listedWords(page);
  }
  std::int16_t& count(TableId id) { return tableCount[static_cast<std::size_t>(id)]; }
  std::int16_t count(TableId id) const { return tableCount[static_cast<std::size_t>(id)]; }

  // The record at slot of page in a page-indexed table (codeTable, poolTable).
  LineRecord& word(TableId id, int page, int slot) { return table(id)[wordIndex(page, slot)]; }
  const LineRecord& word(TableId id, int page, int slot) const {
    return table(id)[wordIndex(page, slot)];
  }
  LineRecord& codeWord(int page, int slot) { return word(kCodeTable, page, slot); }
  const LineRecord& codeWord(int page, int slot) const { return word(kCodeTable, page, slot); }
};

// The run ends with an "Error:" line; nothing after it is done.
struct ErrorStop {
  std::string message;    // the whole line, without its line end
  std::int32_t line = 0;  // the source line it is about, 0 when none applies
  std::vector<Note> notes{};
};

// A file operation failed; the run ends with a "Runtime error" line.
struct FileFailure {
  int code;                // the code as reported and as exit status
  std::uint32_t location;  // the failing operation, shown as eight hex digits
};

// Stops the run: the driver writes the message as the run's only "Error:" line.
[[noreturn]] void errorStop(std::string message, std::int32_t line = 0,
                            std::vector<Note> notes = {});

// Stops the run when page would hold more than 16 words once `adding` more
// words of that kind are in. Asked before a word is stored, so the 17th word
// never lands; line is the source line of the word that does not fit.
void checkPageCapacity(const AssemblyState& state, int page, int adding = 0, std::int32_t line = 0,
                       WordKind addingKind = WordKind::kCode);
// The error's note counts what the page needs by kind, from its words, its
// pool and the word being added.
[[noreturn]] void reportWordCountExceeded(const AssemblyState& state, int page, std::int32_t line,
                                          int adding = 0, WordKind addingKind = WordKind::kCode);

// The source line that holds a word's label, for a message about the label:
// the word's own line, but the TABLE line for the elements of a table, whose
// words carry the lines of their entries.
std::int32_t labelLine(const AssemblyState& state, const LineRecord& word);

// Keeps a warning; a source can give any number, the first 256 of each kind
// are kept and all are counted.
void addWarning(AssemblyState& state, std::int32_t line, std::string text,
                WarningKind kind = WarningKind::kOther);
// A text as a warning shows it: a tab as "\t"; quoted, in double quotes.
std::string shownText(std::string_view text);
std::string quoted(std::string_view text);

// Statement texts that more than one pass looks for.
inline constexpr std::string_view kArrayStart = "ARRAY[";
inline constexpr std::string_view kTableStart = "TABLE[";
// "VAR" and "VAR=..." declare a variable: one word, in the pool of the page that uses it.
inline bool isVariable(std::string_view body) {
  return body == "VAR" || body.starts_with("VAR=");
}

}  // namespace ovrik
