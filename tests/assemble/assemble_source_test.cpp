// The entry every front end assembles through: what one run of the passes
// gives besides the bytes the golden cases check.
#include "assemble/assemble_source.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "assemble/assemble.hpp"
#include "support/test_state.hpp"

namespace ovrik {
namespace {

using testing::setPage;
using testing::usePages;

TEST(AssembleSource, AnErrorComesAfterTheWarningsAndKeepsTheStateAsFarAsItGot) {
  const Assembly assembly = assembleSource("CLA\n/1\nX, CLA\n JMP NOWHERE\n");
  EXPECT_FALSE(assembly.ok);
  EXPECT_FALSE(assembly.listing);
  ASSERT_EQ(assembly.diagnostics.size(), 3U);  // the warning, the error and its note
  EXPECT_EQ(assembly.diagnostics[0].severity, Severity::kWarning);
  EXPECT_EQ(assembly.diagnostics[0].line, 1);
  ASSERT_EQ(assembly.error(), &assembly.diagnostics[1]);
  EXPECT_EQ(assembly.error()->line, 4);
  EXPECT_EQ(assembly.diagnostics[2].severity, Severity::kNote);
  EXPECT_EQ("Error: " + assembly.error()->message + "\r\n", assembly.console);
  ASSERT_NE(assembly.state, nullptr);
  EXPECT_EQ(assembly.state->lastPage, 1);
  EXPECT_EQ(assembly.state->codeWord(1, 0).label, "X");
}

TEST(AssembleSource, AGoodSourceGivesItsListingAndNothingOnTheConsole) {
  const Assembly assembly = assembleSource("/0\nX, CLA\nX, HLT 0\n");
  EXPECT_TRUE(assembly.ok);
  EXPECT_EQ(assembly.console, "");
  ASSERT_TRUE(assembly.listing);
  EXPECT_TRUE(assembly.listing->starts_with("/0\r\n000 X,"));
  EXPECT_EQ(assembly.error(), nullptr);
  ASSERT_EQ(assembly.diagnostics.size(), 1U);
  EXPECT_EQ(assembly.diagnostics[0].line, 3);
  EXPECT_EQ(assembly.diagnostics[0].severity, Severity::kWarning);
}

// A disk that fails halfway through the source.
class FailingSource final : public ByteSource {
 public:
  std::size_t read(char* buffer, std::size_t size) override {
    if (given_) throw FileFailure{23, 1};
    given_ = true;
    const std::string_view start = "/0\nCLA\n";
    return start.copy(buffer, size);
  }

 private:
  bool given_ = false;
};

TEST(AssembleSource, ASourceThatCannotBeReadThrows) {
  FailingSource source;
  EXPECT_THROW(assembleSource(source), FileFailure);
}

// A far reference names the label of the word its address constant points
// to, in full: the constant's own texts are cut to the field.
TEST(FarReferenceWarning, NamesTheLabelInFullHoweverLong) {
  for (const std::size_t length : {4U, 45U, 46U}) {
    const std::string name(length, 'L');
    auto state = testing::emptyState();
    usePages(*state, 0, 2);
    setPage(*state, 0,
            {{"", "JMP I " + name + "A", "521"}, {name + "A", "A(" + name + ")", "020"}});
    state->codeWord(0, 1).kind = WordKind::kAddressConstant;
    state->codeWord(0, 1).line = 2;
    setPage(*state, 2, {{name, "CLA", "710"}});
    setPage(*state, 1, {{name, "CLA", "710"}});
    findDoubtfulWords(*state);
    ASSERT_EQ(state->warnings.size(), 1U) << length;
    EXPECT_EQ(state->warnings[0].text + "@" + std::to_string(state->warnings[0].line),
              name +
                  " is defined in pages 1 and 2; the reference from page 0 goes "
                  "to the one in page 1@2");
  }
}

}  // namespace
}  // namespace ovrik
