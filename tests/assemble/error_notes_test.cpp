// The notes that follow an error: each row is a source whose error must end
// with the note that names the slip behind it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assemble/assemble_source.hpp"

namespace ovrik {
namespace {

// The notes as every front end gets them: after the error, their bytes escaped.
std::vector<Note> notesOf(const std::string& source) {
  std::vector<Note> notes;
  for (const Diagnostic& diagnostic : assembleSource(source).diagnostics) {
    if (diagnostic.severity == Severity::kNote)
      notes.push_back({diagnostic.line, diagnostic.message});
  }
  return notes;
}

TEST(ErrorNotes, AnInvalidInstructionGetsAHintAtItsSlip) {
  struct Row {
    std::string statement;
    std::string hint;
  };
  const Row rows[] = {
      {"tad X", "mnemonics are written in capitals: TAD"},
      {"IAC.CLA", "combined mnemonics are written in one order only: CLA.IAC"},
      {"VAR 5", "a variable is written VAR, or VAR= and its value with no blank: VAR=5"},
      {"ARRAY [4]", "an array is written ARRAY[n] and a table TABLE[n], with no blank"},
      {"$1F", "a hexadecimal number needs a sign in front to be a constant: +$1F"},
      {"TDA X", "did you mean TAD?"},
      {"SMK", "did you mean SMA?"},
      {std::string("CLA\0", 4),
       "the name holds bytes that do not print (shown escaped): without them it is CLA"},
      {"START,\tCLA",
       "a tab is no blank: part the label, the mnemonic and the operand with blanks"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.statement);
    const std::vector<Note> notes = notesOf("/0\n " + row.statement + "\n HLT 0\nX, VAR\n");
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].text,
              "in \"page 0 line 0\", line 0 is the word's place in its page, counted from 0 "
              "(address 000); the source line is 2");
    EXPECT_EQ(notes[1], (Note{2, row.hint}));
  }
  EXPECT_EQ(notesOf("/0\n HLT 0\n XYZZY\n").size(), 1u);  // nothing comes close
}

}  // namespace
}  // namespace ovrik
