#pragma once

// What the run says beside the dialogue's one "Error:" line: the notes that
// follow an error, and the warnings as the command line and the page show them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/tables.hpp"

namespace ovrik {

// A few warnings of one kind say all there is to say; the rest are counted.
inline constexpr int kWarningsShownPerKind = 20;

// The warnings to show, in line order: at most 20 of each kind, then for each
// kind that gave more, one line that says how many more there are.
std::vector<Warning> shownWarnings(const AssemblyState& state);

// The text with every byte outside printable ASCII written as an escape ("\t",
// "\x01"), so that no diagnostic puts a source's raw bytes on a terminal.
std::string escapedText(std::string_view text);

// The note after "Word count exceeded", at the line of the page's directive:
// what the page needs, by kind, counting `adding` more words of addingKind.
// A check made while a word is being added comes before the page is complete,
// so its count is a lower bound.
Note pageNeedNote(const AssemblyState& state, int page, int adding, WordKind addingKind);

// A record of the tables, and where it is: a page's words or pool (page is the
// page), or the variables and constants no page has taken (page is -1).
struct Placed {
  const LineRecord* record;
  TableId table;
  int page;
};
// Every record in use, in the order a reader of the program meets them: each
// page's words and pool, then the variables and constants.
std::vector<Placed> recordsInUse(const AssemblyState& state);
// The first record in use labelled exactly name.
std::optional<Placed> labelled(const AssemblyState& state, std::string_view name);

// What the source has that looks like the name it lacks: the label written
// with blanks around it, in other capitals, one letter off, or an element of
// an array past its end. None when nothing comes close.
std::optional<Note> nearMissOf(const AssemblyState& state, std::string_view name);

// The note after "Label NAME clashes with a name the assembler makes in page
// p.": what the assembler makes that name for.
Note madeNameNote(std::string_view name, int page, std::int32_t line);

}  // namespace ovrik
